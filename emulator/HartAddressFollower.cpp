#include "HartAddressFollower.h"

void HartAddressFollower::setDelayMs(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMs = ms;
    m_written = false;
}

void HartAddressFollower::written(const QByteArray& address)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_delayMs < 0)
        return;
    m_written = true;
    m_address = address;
    m_effective = StopToken::Clock::now() + std::chrono::milliseconds(m_delayMs);
}

QByteArray HartAddressFollower::value(const QByteArray& transmitterAddress)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_delayMs < 0)
        return transmitterAddress;
    if (!m_written)
        m_reported = transmitterAddress;
    else if (StopToken::Clock::now() >= m_effective)
        m_reported = m_address;
    return m_reported;
}
