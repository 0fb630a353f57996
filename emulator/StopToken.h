#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Stop request shared by the owner and its worker; waits on it end early when a stop arrives.
class StopToken
{
public:
    using Clock = std::chrono::steady_clock;

    void request();
    void reset();
    bool isSet() const;
    // False when a stop was requested before the deadline.
    bool waitUntil(Clock::time_point deadline) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_stop = false;
};
