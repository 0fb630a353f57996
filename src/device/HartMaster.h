#pragma once

#include "CalibratorLink.h"
#include "HartDeviceData.h"
#include "HartReplyOutcome.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class DeviceSettings;
class HartAlgoritm;
class PollController;
class PortOwner;
class QThread;

// The HART master behind the calibrator: carries master frames through calibrator command 40,
// finds the transmitter through values 19 and 20, and runs the numbered HART operations in a
// worker thread of their own that borrows the port. The read record is written only by the thread
// that holds the port; results and ends leave as copies. Values to write are taken from a copy of
// the edited record made when an operation starts.
class HartMaster : public QObject
{
    Q_OBJECT
public:
    struct Timing
    {
        int addressTries = 30;
        int addressRetryMs = 1000;
        int addressSettleMs = 500;
        int factoryResetPauseMs = 1000;
        int workerWaitMs = 10000;
    };
    // How the last command ended; some operations react to the kind of failure.
    enum class Answer { NotSent, NoAnswer, CalibratorStatus, Invalid, Reply };
    enum class Start { Started, Refused, PortBusy };

    HartMaster(CalibratorLink& link, PortOwner& owner, PollController& work, HartDeviceData& read,
               HartDeviceData& edited, DeviceSettings& settings, QMutex& mutex, const QString& deviceName);
    ~HartMaster() override;

    Timing& timing() { return m_timing; }
    HartDeviceData& read() { return m_read; }
    HartDeviceData& staged() { return m_staged; }
    // The pages and the settings workers read and replace the block under the device mutex.
    DeviceSettings settingsSnapshot() const;
    void storeSettings(const DeviceSettings& block);
    const QString& deviceName() const { return m_deviceName; }

    // In the thread that holds the port. On success the frame text is replaced by the reply's data.
    bool sendHartFrame(QByteArray& frame);
    bool sendHartCommand(quint8 command, int addressForm, int frameType, QByteArray& data, bool acceptDeviceError,
                         bool showDeviceError);
    bool send(quint8 command, const QByteArray& data, bool acceptDeviceError, bool showDeviceError);
    bool sendHartCommandNoData(quint8 command, bool acceptDeviceError, bool showDeviceError);
    Answer lastAnswer() const { return m_lastAnswer; }
    bool leaveFixedCurrent();
    bool readSpecificInfo();
    // Reads the polling address (value 19) and, when asked, the identity (value 20); true when a
    // transmitter answers. The state emitted is the one found.
    bool hartConnect(bool quiet, bool readIdentity);
    // A newly connected calibrator may have another transmitter behind it.
    void forgetTransmitter();

    // In the GUI thread. Refused for an unknown number or an empty field mask of a write.
    Start start(int algorithm, bool flag, int fieldMask);
    void waitForWorker();
    // GUI thread: whether an operation's worker is still running.
    bool isRunning() const;
    // Runs the operation stored in the work state in the calling thread, which holds the port.
    void runInCurrentThread(bool nested);
    // Runs one operation nested in the calling thread, which holds the port; true when it succeeded.
    bool runNested(int algorithm);

    // A calibrator register write; only "$0" counts as written.
    bool writeParameter(const QByteArray& data, int reg, const QString& name, int type, int count);
    void reportResult(int command);
    void showMessage(const QString& text);
    // Sleeps unless stopped; false when a stop came.
    bool pause(int ms);

signals:
    void lockInterface(quint8 kind);
    void progress(int percent);
    void commandResult(int command, const HartDeviceData& data);
    void operationFinished(int algorithm, bool succeeded, const HartDeviceData& data);
    void connectionState(bool connected);
    void popUp(const QString& text);
    // The unit and range of the verified sensor were put into the settings block.
    void settingsBlockChanged();

private:
    enum class ValueRead { Data, Status, Failed };

    void workerSlot();
    void runChain();
    bool runOperation(int algorithm, bool flag);
    void emitEnd();
    bool exchange(const QByteArray& text, int timeoutMs);
    bool sendFrame(QByteArray& frame, bool once);
    bool judge(HartReplyOutcome outcome, bool acceptDeviceError, bool showDeviceError);
    void stepProgress();
    void reportNoAnswer();
    void takeCalibratorStatus(const QByteArray& reply);
    ValueRead readValue(int number, QByteArray& reply);
    void takeConnectStatus(const QByteArray& reply, bool quiet);
    bool takePollingAddress(const QByteArray& reply);
    bool takeIdentity(const QByteArray& reply);
    bool setPresent(bool present);
    bool notFound();

    CalibratorLink& m_link;
    PortOwner& m_owner;
    PollController& m_work;
    HartDeviceData& m_read;
    HartDeviceData& m_edited;
    HartDeviceData m_staged;
    DeviceSettings& m_settings;
    QMutex& m_mutex;
    const QString& m_deviceName;
    std::unique_ptr<HartAlgoritm> m_algoritm;
    Timing m_timing;
    Answer m_lastAnswer = Answer::NotSent;
    QPointer<QThread> m_thread;
    int m_endAlgorithm = 0;
    bool m_endSucceeded = false;
};
