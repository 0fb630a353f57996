#include "HartAddressFollower.h"

void HartAddressFollower::setDelayMs(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMs = ms;
    m_written = false;
}

void HartAddressFollower::written(const QByteArray& address, const QByteArray& reportedBefore)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_delayMs < 0)
        return;
    m_written = true;
    m_before = reportedBefore;
    m_after = address;
    m_effective = StopToken::Clock::now() + std::chrono::milliseconds(m_delayMs);
}

QByteArray HartAddressFollower::value(const QByteArray& transmitterAddress) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_delayMs < 0 || !m_written)
        return transmitterAddress;
    return StopToken::Clock::now() < m_effective ? m_before : m_after;
}
