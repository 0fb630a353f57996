#pragma once

#include <QMutex>
#include <QObject>
#include <QWaitCondition>
#include <atomic>

class QThread;

// A stoppable pump: while it runs it holds the device object's serial port in its own thread and
// emits pollSignal() about every 500 ms; receivers are connected directly, so they run in that thread.
class ParametrPoller : public QObject
{
    Q_OBJECT
public:
    explicit ParametrPoller(QObject* parent = nullptr);
    ~ParametrPoller() override;

    template <typename Receiver, typename Slot>
    void connectPollSignal(Receiver* receiver, Slot slot)
    {
        connect(this, &ParametrPoller::pollSignal, receiver, slot, Qt::DirectConnection);
    }
    template <typename Receiver, typename Slot>
    void connectStopedSignal(Receiver* receiver, Slot slot)
    {
        connect(this, &ParametrPoller::pollerStoped, receiver, slot, Qt::DirectConnection);
    }

    void start();
    void requestStop();
    bool isRunning() const;

signals:
    void pollSignal();
    void pollerStoped();

public slots:
    void stop();
    void pollZfnSlot();

private:
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    QThread* m_thread = nullptr;
    QMutex m_mutex;
    QWaitCondition m_wait;
    // Wakes stop() as soon as the loop has left and handed the port back.
    QWaitCondition m_stopped;
};
