#include "StopToken.h"

void StopToken::request()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
}

void StopToken::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
}

bool StopToken::isSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stop;
}

bool StopToken::waitUntil(Clock::time_point deadline) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_changed.wait_until(lock, deadline, [this] { return m_stop; });
}
