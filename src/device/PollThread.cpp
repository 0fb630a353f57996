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

void PollThread::start(Priority priority)
{
    m_stopRequested = false;
    QThread::start(priority);
}

void PollThread::run()
{
    exec();
    emit quitSignal();
}
