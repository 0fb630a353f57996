#include "Watchdog.h"

#include <QtGlobal>
#include <chrono>

Watchdog::Watchdog(int timeoutMs, const char* what)
    : m_thread([this, timeoutMs, what] {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_finished; }))
            qFatal("%s within %d ms", what, timeoutMs);
    })
{
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_one();
    m_thread.join();
}
