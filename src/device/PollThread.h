#pragma once

#include <QMutex>
#include <QThread>
#include <atomic>

// A long-lived worker thread: the device object connects started() directly to its loop slot,
// which tests the stop flag between exchanges and quits the thread when it leaves.
class PollThread : public QThread
{
    Q_OBJECT
public:
    explicit PollThread(QObject* parent = nullptr);

    void requestStop();
    bool isStopRequested() const;
    // Called in this thread: a pause that a stop request ends within one short slice.
    void pauseUnlessStopped(int ms) const;
    void start(Priority priority = InheritPriority);

signals:
    void quitSignal();

protected:
    void run() override;

private:
    std::atomic<bool> m_stopRequested{false};
    QMutex m_mutex;
};
