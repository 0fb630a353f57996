#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>

class PollThread;
class QThread;

// The device object's work state: its two long-lived worker threads, their pauses and time-outs,
// the numbers of the operations about to run, the stop flag and progress shared by long operations,
// the search options and the debug switch. Threads are never terminated: a stop sets the stop flags
// and the exchange abort flag, then waits until the loop has left (its exchange time-outs bound that).
class PollController
{
public:
    PollController();
    ~PollController();
    PollController(const PollController&) = delete;
    PollController& operator=(const PollController&) = delete;

    PollThread* pollThread;
    int pollIntervalMs = 500;
    PollThread* archiveThread;
    int archivePauseMs = 50;
    int hartOperation = 0;
    // Read by the pages while a worker runs (a follow-on rewrites it).
    std::atomic<quint8> operationFlag{0};
    int operationArgument = 0;
    int settingsOperation = 0;
    std::atomic<bool> stopRequested{false};
    int progressStep = 0;
    int progress = 0;
    std::atomic<bool> searchFirstOnly{false};
    std::atomic<bool> searchPortRange{false};
    bool hartErrorShown = false;
    int groupCount = 0;
    int hartTimeoutMs = 7000;
    int archiveTimeoutMs = 7000;
    std::atomic<int> exchangeTimeoutMs{2000};
    std::atomic<int> pollMode{0};
    // At most one result per poll cycle: the cycle clears it, a stored result and a start of
    // polling set it. Guarded by the device mutex.
    bool resultTaken = true;
    std::atomic<bool> debugLog{false};

    // Set by the device object: the abort flag of its running exchange, and a notifier told when a
    // stop has to wait long (true) and when that wait ends (false), so the user sees the busy overlay.
    std::atomic<bool>* abortFlag = nullptr;
    std::function<void(bool)> longWaitNotifier;

    bool isPollRunning() const;
    bool isArchiveRunning() const;
    void stopPollThread();
    void restartPollThread();
    void restartArchiveThread();
    void stopArchiveThread();
    void resetProgress(int step);
    void stopAll();

private:
    void stopAndWait(PollThread* thread);
    void restart(PollThread* thread);
    void waitForFinish(QThread* thread);
};
