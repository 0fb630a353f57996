#include "PollController.h"

#include "LongWait.h"
#include "PollThread.h"

namespace {
constexpr int waitSliceMs = 20;
}  // namespace

PollController::PollController() : pollThread(new PollThread), archiveThread(new PollThread) {}

PollController::~PollController()
{
    stopAll();
    delete pollThread;
    delete archiveThread;
}

bool PollController::isPollRunning() const
{
    return pollThread->isRunning();
}

bool PollController::isArchiveRunning() const
{
    return archiveThread->isRunning();
}

// In the GUI thread the wait keeps delivering queued events (but no user input save a way out), so
// a worker that hands something to the GUI thread while stopping cannot dead-lock against us.
void PollController::waitForFinish(QThread* thread)
{
    LongWait wait(longWaitNotifier);
    while (!thread->wait(waitSliceMs))
        wait.slice();
}

void PollController::stopAndWait(PollThread* thread)
{
    if (!thread->isRunning())
        return;
    // The abort flag first: a worker that sees its stop also sees its exchange cut.
    if (abortFlag)
        *abortFlag = true;
    thread->requestStop();
    if (QThread::currentThread() == thread)
        return;
    waitForFinish(thread);
}

void PollController::stopPollThread()
{
    stopAndWait(pollThread);
}

// A worker cannot restart itself: it would wait for its own end.
void PollController::restart(PollThread* thread)
{
    if (QThread::currentThread() == thread)
        return;
    stopAndWait(thread);
    thread->start(QThread::InheritPriority);
}

void PollController::restartPollThread()
{
    restart(pollThread);
}

void PollController::restartArchiveThread()
{
    restart(archiveThread);
}

void PollController::stopArchiveThread()
{
    stopAndWait(archiveThread);
}

void PollController::resetProgress(int step)
{
    stopRequested = false;
    progress = 0;
    progressStep = step;
}

void PollController::stopAll()
{
    stopAndWait(pollThread);
    stopAndWait(archiveThread);
}
