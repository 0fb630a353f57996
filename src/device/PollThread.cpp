#include "PollThread.h"

#include <QElapsedTimer>

namespace {
constexpr int pauseSliceMs = 10;
}  // namespace

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

void PollThread::pauseUnlessStopped(int ms) const
{
    QElapsedTimer timer;
    timer.start();
    while (!isStopRequested() && timer.elapsed() < ms)
        QThread::msleep(ulong(qMin<qint64>(ms - timer.elapsed(), pauseSliceMs)));
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
