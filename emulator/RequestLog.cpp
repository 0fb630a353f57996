#include "RequestLog.h"

#include <chrono>

void RequestLog::append(const EmulatorRequest& request)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.append(request);
    }
    m_grown.notify_all();
}

QList<EmulatorRequest> RequestLog::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int RequestLog::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

void RequestLog::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

bool RequestLog::waitForCount(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_grown.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this, count] { return m_requests.size() >= count; });
}
