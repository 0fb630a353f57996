#include "ParametrPoller.h"

#include "DeviceZFN.h"
#include "PortOwner.h"

#include <QThread>

namespace {
constexpr unsigned long pollPauseMs = 500;
}  // namespace

ParametrPoller::ParametrPoller(QObject* parent) : QObject(parent) {}

ParametrPoller::~ParametrPoller()
{
    stop();
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

bool ParametrPoller::isRunning() const
{
    return m_running;
}

void ParametrPoller::start()
{
    stop();
    if (m_running)
        return;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
    m_running = true;
    m_stopRequested = false;
    m_thread = new QThread;
    connect(m_thread, &QThread::started, this, &ParametrPoller::pollZfnSlot, Qt::DirectConnection);
    if (!g_device->portOwner()->lend(m_thread)) {
        m_running = false;
        g_device->refuseBusyPort();
        return;
    }
    m_thread->start(QThread::InheritPriority);
}

// Waits even when the poll slot has already asked to stop: until the loop has left, its thread
// still holds the port.
void ParametrPoller::stop()
{
    if (!m_thread || !m_running)
        return;
    m_stopRequested = true;
    g_device->portOwner()->abort();
    QMutexLocker lock(&m_mutex);
    m_wait.wakeAll();
    while (m_running)
        m_stopped.wait(&m_mutex);
}

// Called by the page's poll slot inside the poller thread when it wants the loop to end.
void ParametrPoller::requestStop()
{
    m_stopRequested = true;
}

void ParametrPoller::pollZfnSlot()
{
    g_device->portOwner()->serve([this] {
        while (!m_stopRequested) {
            emit pollSignal();
            if (m_stopRequested)
                break;
            QMutexLocker lock(&m_mutex);
            if (!m_stopRequested)
                m_wait.wait(&m_mutex, pollPauseMs);
        }
        emit pollerStoped();
    });
    {
        QMutexLocker lock(&m_mutex);
        m_running = false;
        m_stopped.wakeAll();
    }
    QThread::currentThread()->quit();
}
