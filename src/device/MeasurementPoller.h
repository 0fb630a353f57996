#pragma once

#include "ChannelRecord.h"

#include <QObject>
#include <QString>
#include <atomic>

class CalibratorLink;
class ChannelsModel;
class DeviceSettings;
class HartDeviceData;
class PollController;
class PortOwner;
class QMutex;

// The measurement poll loop in the poll thread: each cycle reads the reference and, by the poll
// mode, the loop current, the HART values or the typed value, and at its end gives the current
// channel record the whole set in one short step under the device mutex. The mutex is never held
// across an exchange, and a point stored meanwhile holds the values of one cycle.
class MeasurementPoller : public QObject
{
    Q_OBJECT
public:
    enum Mode { CurrentMode = 0, HartMode = 1, ManualMode = 2 };
    enum Key { ReferenceKey = 0, CurrentKey = 1, HartKey = 2 };

    struct Records
    {
        ChannelRecord& channel;
        ChannelsModel& channels;
        const DeviceSettings& settings;
        const HartDeviceData& hart;
    };

    MeasurementPoller(CalibratorLink& link, PortOwner& owner, PollController& work, QMutex& mutex,
                      const Records& records, const std::atomic<bool>& connected);

    // False, with nothing started, while another job holds the port.
    bool start();
    // A running loop reports its own end as it leaves; an idle one is reported at once.
    void stop();
    // The loop of the poll thread; it hands the port back on every way out.
    void run();
    // One read of the running cycle. False when the cycle cannot go on: a read failed, or polling
    // is being stopped.
    bool getEventByKey(int key);
    // The channel as the last cycle of this session left it: all a point is made of. The caller
    // holds the device mutex.
    const ChannelRecord& publishedCycle() const { return m_published; }
    // A cycle of the running session has published: points may be taken. The caller holds the
    // device mutex.
    bool hasSessionCycle() const { return m_sessionPublished; }

signals:
    // Once a session, before that cycle's cycleDone.
    void firstCycleDone();
    void cycleDone();
    void stopped();
    // Polling ended on a failure; the message is for the user.
    void failed(QString message);
    void noAnswer();

private:
    // What one cycle read, kept by the poll thread until the cycle ends.
    struct Readings
    {
        int mode = CurrentMode;
        bool fixedReference = false;
        // The module's reading in its own unit, or the fixed value in kPa.
        double reference = 0;
        // mA
        double current = 0;
        // In the transmitter's HART unit.
        double hartPrimary = 0;
        double hartSecond = 0;
        double manual = 0;
    };

    void forgetPreviousSession();
    bool runCycle();
    bool stopRequested() const;
    bool takeReference();
    bool measureByMode();
    bool readValue(int number, double* value);
    bool readReference();
    bool readLoopCurrent();
    bool readHartValues();
    void publish();
    void publishReference(ChannelRecord& channel) const;
    void publishMeasurement(ChannelRecord& channel) const;
    double referenceInChannelUnit(double raw) const;
    void stopWith(const QString& message);

    CalibratorLink& m_link;
    PortOwner& m_owner;
    PollController& m_work;
    QMutex& m_mutex;
    Records m_records;
    const std::atomic<bool>& m_connected;
    Readings m_cycle;
    ChannelRecord m_published;
    bool m_sessionPublished = false;
};
