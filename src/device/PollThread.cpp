#include "PollThread.h"

PollThread::PollThread(QObject* parent) : QThread(parent) {}

void PollThread::requestStop()
{
    QMutexLocker lock(&m_mutex);
    m_stopRequested = true;
}

bool PollThread::isStopRequested() const
{
    return m_stopRequested;
}

// A thread still running keeps its stop request: clearing it would let the leaving loop go on.
void PollThread::start(Priority priority)
{
    if (isRunning())
        return;
    m_stopRequested = false;
    QThread::start(priority);
}

void PollThread::run()
{
    exec();
    emit quitSignal();
}
