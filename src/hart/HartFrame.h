#pragma once

#include "HartReplyOutcome.h"

#include <QByteArray>
#include <QtGlobal>

class HartDeviceData;

// HART master frames as the calibrator carries them: hexadecimal text, no preambles.
namespace HartFrame {
constexpr int ShortAddress = 0;
constexpr int LongAddress = 1;
constexpr int MasterToSlave = 0;
constexpr int SlaveToMaster = 1;
constexpr int Burst = 2;
}  // namespace HartFrame

// On entry data holds the request data bytes, on return the whole frame as upper-case
// hexadecimal text. Refused (data unchanged) for a long frame without a five-byte uniqueId, more
// than 255 data bytes or an unknown frame type.
bool buildHartFrame(QByteArray& data, const HartDeviceData& device, quint8 command, int addressForm, int frameType);

// Checks the reply frame (hexadecimal text, replaced by its bytes once it is hexadecimal), stores
// its response code and status and decodes its data into the record. False when the frame is
// refused; the record is then untouched. outcome, when given, tells the accepted kinds apart.
bool parseHartResponse(QByteArray& reply, HartDeviceData& device, int expectedCommand, int addressForm,
                       HartReplyOutcome* outcome = nullptr);
