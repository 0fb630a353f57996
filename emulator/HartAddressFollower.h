#pragma once

#include "StopToken.h"

#include <QByteArray>
#include <mutex>

// The calibrator's own answer to value 19 (the transmitter's polling address) once it is told a
// new address through register 276: the written address shows only after a delay, as a
// calibrator that first re-addresses its modem would report it. Off until a delay is set; then
// value 19 is the transmitter's own address until the first write.
class HartAddressFollower
{
public:
    // -1: off.
    void setDelayMs(int ms);
    void written(const QByteArray& address, const QByteArray& reportedBefore);
    QByteArray value(const QByteArray& transmitterAddress) const;

private:
    mutable std::mutex m_mutex;
    int m_delayMs = -1;
    bool m_written = false;
    QByteArray m_before;
    QByteArray m_after;
    StopToken::Clock::time_point m_effective;
};
