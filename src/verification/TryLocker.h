#pragma once

#include <QMutex>

// Holds a GUI-thread lock of a page or a plot for one slot. A slot re-entered from a nested event
// loop finds the lock taken and returns at once instead of waiting for itself.
class TryLocker
{
public:
    explicit TryLocker(QMutex* mutex) : m_mutex(mutex->tryLock() ? mutex : nullptr) {}
    ~TryLocker()
    {
        if (m_mutex)
            m_mutex->unlock();
    }
    TryLocker(const TryLocker&) = delete;
    TryLocker& operator=(const TryLocker&) = delete;

    bool isLocked() const { return m_mutex != nullptr; }

private:
    QMutex* m_mutex;
};
