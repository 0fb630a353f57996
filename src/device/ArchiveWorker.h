#pragma once

#include <QByteArray>
#include <QObject>
#include <atomic>

class ArchiveModel;
class CalibratorLink;
class PollController;
class PortOwner;

// Reads or clears the calibrator's archive in the archive thread, frame by frame, with the archive's
// own exchange time-out. A read that stops keeps its position, so the next read resumes there; a
// clear always starts over. Frames land in the archive model, which queues them into the GUI thread.
class ArchiveWorker : public QObject
{
    Q_OBJECT
public:
    ArchiveWorker(CalibratorLink& link, PortOwner& owner, PollController& work, ArchiveModel& model,
                  const std::atomic<bool>& connected);

    enum class Start { Started, AlreadyRunning, PortBusy };

    // Only one archive operation runs at a time: a start while one runs changes nothing.
    Start startRead();
    Start startClear();
    // The loop reports its own end as it leaves, so a stop only waits for that.
    void stop();
    // Frames of the current pass that failed their own checks (cleared frames are not counted).
    int skippedCount() const { return m_skipped; }

signals:
    void readStopped();
    void readFinished();
    void clearStopped();
    void clearFinished();
    void progress(int percent);
    void noAnswer();

private:
    enum class Step { Next, Finished, Stopped };

    Start start(void (ArchiveWorker::*slot)(), const char* logLine);
    void readSlot();
    void clearSlot();
    Step runLoop(Step (ArchiveWorker::*step)());
    Step readFrame();
    Step clearFrame();
    bool exchange(const QByteArray& text, QByteArray& reply);
    bool readHalf(int reg, QByteArray& text);
    bool writeHalf(int reg, const QByteArray& text);
    bool takeFrame(const QByteArray& text, int position);
    Step advance(int position);
    Step exchangeFailed();
    void leaveThread();

    CalibratorLink& m_link;
    PortOwner& m_owner;
    PollController& m_work;
    ArchiveModel& m_model;
    const std::atomic<bool>& m_connected;
    std::atomic<int> m_skipped{0};
    // From a start until the loop has handed the port back; the thread may outlive it a little.
    std::atomic<bool> m_running{false};
};
