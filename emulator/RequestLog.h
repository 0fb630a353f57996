#pragma once

#include "EmulatorRequest.h"

#include <QList>
#include <condition_variable>
#include <mutex>

// Requests received by the worker thread, read by any other thread.
class RequestLog
{
public:
    void append(const EmulatorRequest& request);
    QList<EmulatorRequest> requests() const;
    int count() const;
    void clear();
    bool waitForCount(int count, int timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_grown;
    QList<EmulatorRequest> m_requests;
};
