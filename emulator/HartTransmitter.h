#pragma once

#include "HartSlaveFrame.h"
#include "HartSlaveRequest.h"
#include "HartTransmitterOptions.h"
#include "HartTransmitterState.h"
#include "StopToken.h"

#include <QList>
#include <QStringList>
#include <mutex>

// A HART transmitter behind the emulated calibrator: a pure slave that answers the master frames
// the calibrator relays with command 40 and tells the calibrator its address and identity
// (values 19 and 20) and the loop current it drives (value 5). State and options may be changed
// from any thread; the calibrator's worker calls the answering functions.
class HartTransmitter
{
public:
    // "$14": the addressed transmitter did not answer in time.
    static constexpr int StatusNoAnswer = 14;

    explicit HartTransmitter(const StopToken& stop);

    // The variant's factory state; options and the request log stay.
    void reset(HartVariant variant);
    HartTransmitterState state() const;
    void setState(const HartTransmitterState& state);
    HartTransmitterOptions options() const;
    void setOptions(const HartTransmitterOptions& options);
    void setResponseCode(int command, int code);
    void setFault(int command, HartFault fault);
    void setCommandDelay(int command, int ms);
    // Clears the faults and the chosen response codes.
    void clearFaults();

    QList<HartSlaveRequest> requests() const;
    QList<int> commands() const;
    void clearRequests();

    // Command 40: the fields after the command number, the raw length character and the frame as
    // hexadecimal text. Returns the reply frame as upper-case hexadecimal text, "$14" when the
    // transmitter does not answer, "$2" when the fields are malformed.
    QByteArray passThrough(const QStringList& parameters);
    QByteArray pollingAddressValue() const;
    QByteArray identityValue() const;
    QByteArray loopCurrentValue() const;

private:
    QByteArray answer(const HartSlaveFrame& request, const HartTransmitterOptions& options);
    bool isAddressedBy(const HartSlaveFrame& request) const;
    void waitWireTime(StopToken::Clock::time_point arrived, int requestBytes, int replyBytes,
                      const HartTransmitterOptions& options, int command) const;

    const StopToken& m_stop;
    mutable std::mutex m_mutex;
    HartTransmitterState m_state;
    HartTransmitterOptions m_options;
    QList<HartSlaveRequest> m_requests;
};
