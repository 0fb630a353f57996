#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// Ends the program with a message when the scope it guards outlasts its bound: for the waits a test
// cannot bound itself, such as the device object's wait for its workers as it goes. A program that
// stops there tells which case it stopped in, rather than being killed at CTest's time-out.
class Watchdog
{
public:
    Watchdog(int timeoutMs, const char* what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};
