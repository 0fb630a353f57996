#include "HartReplyDecoder.h"

#include "HartDeviceData.h"
#include "HartReplyData.h"

#include <QDebug>
#include <cstring>
#include <map>

namespace {

constexpr quint8 PollingAddressBase = 0x80;
constexpr quint8 BurstBitMask = 0xBF;
constexpr int CurrentOutputBytes = 10;
constexpr int SqrtBytes = 12;

// deviceVariables: extended status, then 8-byte slots (code, classification, unit, value, status).
constexpr int SlotBytes = 8;
constexpr int SlotUnit = 3;
constexpr int SlotValue = 4;
constexpr int ZeroedSlots = 3;

void putFloat(quint8* at, float value)
{
    std::memcpy(at, &value, sizeof value);
}

// Slot 1 carries the primary variable; the values of slots 2-4 no longer belong to this reading.
void mirrorPrimaryVariable(HartDeviceData& d)
{
    d.deviceVariables[SlotUnit] = d.pvUnit;
    putFloat(d.deviceVariables + SlotValue, d.pvValue);
    for (int slot = 1; slot <= ZeroedSlots; ++slot)
        putFloat(d.deviceVariables + SlotValue + slot * SlotBytes, 0.0f);
}

void logCountMismatch(const char* what, int count, int expected)
{
    if (count != expected)
        qDebug() << what << "invalid data count" << count << "expected" << expected;
}

void decodeIdentity(const HartReplyData& r, HartDeviceData& d)
{
    // Byte 0 is the expansion code 254.
    d.manufacturerCode = r.byte(1);
    d.deviceTypeCode = r.byte(2);
    d.requestPreambles = r.byte(3);
    d.universalRevision = r.byte(4);
    d.deviceRevision = r.byte(5);
    d.softwareRevision = r.byte(6);
    d.hardwareRevisionSignalling = r.byte(7);
    d.identityFlags = r.byte(8);
    r.copy(9, d.deviceId, sizeof d.deviceId);
    d.responsePreambles = r.byte(12);
    d.maxDeviceVariables = r.byte(13);
    r.copy(14, d.configChangeCounter, sizeof d.configChangeCounter);
    d.extendedDeviceStatus = r.byte(16);
    r.copy(17, d.manufacturerIdCode, sizeof d.manufacturerIdCode);
    r.copy(19, d.privateLabelCode, sizeof d.privateLabelCode);
    d.deviceProfile = r.byte(21);
    d.uniqueId = QByteArray(1, char(d.manufacturerCode & BurstBitMask)) + char(d.deviceTypeCode)
                 + QByteArray(reinterpret_cast<const char*>(d.deviceId), sizeof d.deviceId);
    d.deviceTypeKey = quint16(d.manufacturerCode << 8 | d.deviceTypeCode);
}

void decodePrimaryVariable(const HartReplyData& r, HartDeviceData& d)
{
    d.pvUnit = r.byte(0);
    d.pvValue = r.real(1);
    mirrorPrimaryVariable(d);
}

void decodePollingAddress(const HartReplyData& r, HartDeviceData& d)
{
    d.pollingAddressByte = quint8(r.byte(0) + PollingAddressBase);
}

void decodeLoopConfiguration(const HartReplyData& r, HartDeviceData& d)
{
    decodePollingAddress(r, d);
    qDebug() << "UniversalCommands::parseHartResponse READ ADRESS" << d.pollingAddressByte << r.byte(0);
}

void decodeDeviceVariables(const HartReplyData& r, HartDeviceData& d)
{
    r.copy(0, d.deviceVariables, qMin(r.size(), int(sizeof d.deviceVariables)));
    d.pvUnit = r.byte(SlotUnit);
    d.pvValue = r.real(SlotValue);
    mirrorPrimaryVariable(d);
}

void decodeMessage(const HartReplyData& r, HartDeviceData& d)
{
    r.copy(0, d.message, sizeof d.message);
}

void decodeTagDescriptorDate(const HartReplyData& r, HartDeviceData& d)
{
    r.copy(0, d.tag, sizeof d.tag);
    r.copy(6, d.descriptor, sizeof d.descriptor);
    r.copy(18, d.date, sizeof d.date);
}

void decodeSensorLimits(const HartReplyData& r, HartDeviceData& d)
{
    r.copy(0, d.sensorSerial, sizeof d.sensorSerial);
    d.sensorLimitsUnit = r.byte(3);
    d.sensorUpperLimit = r.real(4);
    d.sensorLowerLimit = r.real(8);
    d.minimumSpan = r.real(12);
}

void decodeDeviceInformation(const HartReplyData& r, HartDeviceData& d)
{
    d.alarmSelection = r.byte(0);
    d.transferFunction = r.byte(1);
    d.rangeUnit = r.byte(2);
    d.upperRangeValue = r.real(3);
    d.lowerRangeValue = r.real(7);
    d.damping = r.real(11);
    d.writeProtect = r.byte(15);
    d.privateLabelDistributor = r.byte(16);
    d.analogChannelFlags = r.byte(17);
}

void decodeLongTag(const HartReplyData& r, HartDeviceData& d)
{
    r.copy(0, d.longTag, sizeof d.longTag);
    d.longTagSupported = true;
}

void decodeAdditionalStatus(const HartReplyData& r, HartDeviceData& d)
{
    std::memset(d.additionalStatus, 0, sizeof d.additionalStatus);
    r.copy(0, d.additionalStatus, qMin(r.size(), int(sizeof d.additionalStatus)));
}

void decodeTrimPoints(const HartReplyData& r, HartDeviceData& d)
{
    d.trimVariable = r.byte(0);
    d.trimUnit = r.byte(1);
    d.trimPointLower = r.real(2);
    d.trimPointUpper = r.real(6);
}

void decodeTrimGuidelines(const HartReplyData& r, HartDeviceData& d)
{
    d.guideVariable = r.byte(0);
    d.guideTrimPoints = r.byte(1);
    d.guideUnit = r.byte(2);
    d.guideMinLower = r.real(3);
    d.guideMaxLower = r.real(7);
    d.guideMinUpper = r.real(11);
    d.guideMaxUpper = r.real(15);
    d.guideMinDifferential = r.real(19);
}

void decodeOutputCoefficients(const HartReplyData& r, HartDeviceData& d)
{
    d.outputGain = r.real(0);
    d.outputOffset = r.real(4);
}

void decodeCurrentOutput(const HartReplyData& r, HartDeviceData& d)
{
    logCountMismatch("UniversalCommands::read_paramCurrentOut", r.size(), CurrentOutputBytes);
    constexpr quint8 LastOutputType = 3;
    constexpr quint8 FourToTwenty = 1;
    d.currentOutputType = r.byte(0) > LastOutputType ? FourToTwenty : r.byte(0);
    d.alarmLevel = r.byte(1);
    d.alarmCurrentLow = r.real(2);
    d.alarmCurrentHigh = r.real(6);
    r.copy(0, d.currentOutputRead, 2);
    putFloat(d.currentOutputRead + 2, d.alarmCurrentLow);
    putFloat(d.currentOutputRead + 6, d.alarmCurrentHigh);
}

void decodeSqrtCharacteristic(const HartReplyData& r, HartDeviceData& d)
{
    logCountMismatch("UniversalCommands::read_paramSqrtRelation", r.size(), SqrtBytes);
    d.sqrtLinearizationThreshold = r.real(0);
    d.sqrtCutoffThreshold = r.real(4);
    d.sqrtHysteresisWidth = r.real(8);
}

void decodeDisplay(const HartReplyData& r, HartDeviceData& d)
{
    d.menuLanguage = r.byte(0);
    d.displayDecimals = r.byte(1);
    d.displayMode = r.byte(2);
}

void decodeProtection(const HartReplyData& r, HartDeviceData& d)
{
    d.menuPassword = r.word(0);
    d.reedZeroing = r.byte(2);
}

void decodeScaleShiftA(const HartReplyData& r, HartDeviceData& d)
{
    d.scaleShiftA = r.real(0);
}

void decodeScaleShiftB(const HartReplyData& r, HartDeviceData& d)
{
    d.scaleShiftB = r.real(0);
}

const std::map<int, HartReplyDecoder>& decoders()
{
    static const std::map<int, HartReplyDecoder> table = {
    // An older transmitter's identity ends after the device identification number.
    {0, {12, decodeIdentity}},
    {1, {5, decodePrimaryVariable}},
    {6, {1, decodePollingAddress}},
    {7, {2, decodeLoopConfiguration}},
    {9, {1 + SlotBytes, decodeDeviceVariables}},
    {12, {24, decodeMessage}},
    {13, {21, decodeTagDescriptorDate}},
    {14, {16, decodeSensorLimits}},
    {15, {16, decodeDeviceInformation}},
    {20, {32, decodeLongTag}},
    {48, {0, decodeAdditionalStatus}},
    {80, {10, decodeTrimPoints}},
    {81, {23, decodeTrimGuidelines}},
    {122, {8, decodeOutputCoefficients}},
    {128, {CurrentOutputBytes, decodeCurrentOutput}},
    {130, {SqrtBytes, decodeSqrtCharacteristic}},
    {132, {3, decodeDisplay}},
    {134, {3, decodeProtection}},
    {145, {4, decodeScaleShiftA}},
    {147, {4, decodeScaleShiftB}},
    };
    return table;
}

}  // namespace

const HartReplyDecoder* hartReplyDecoder(int command)
{
    const auto it = decoders().find(command);
    return it != decoders().end() ? &it->second : nullptr;
}
