#pragma once

#include "StopToken.h"

#include <QByteArray>
#include <mutex>

// The calibrator's own answer to value 19 (the transmitter's polling address) once it is told a
// new address through register 276: it keeps reporting the address it reported before, and shows
// the written one only after a delay, as a calibrator that first re-addresses its modem would.
// Off until a delay is set; then value 19 is the transmitter's own address until the first write.
class HartAddressFollower
{
public:
    // -1: off.
    void setDelayMs(int ms);
    void written(const QByteArray& address);
    QByteArray value(const QByteArray& transmitterAddress);

private:
    std::mutex m_mutex;
    int m_delayMs = -1;
    bool m_written = false;
    QByteArray m_reported;
    QByteArray m_address;
    StopToken::Clock::time_point m_effective;
};
