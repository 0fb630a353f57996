#pragma once

#include "DeviceSettings.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

class CalibratorLink;
class ChannelRecord;
class HartDeviceData;
class PollController;
class PortOwner;
class QThread;
class VerificationSettings;

// The numbered settings operations: each runs in a worker thread of its own that holds the serial
// port, reads or writes the calibrator's settings registers and ends with finished(number). Reads
// go into a copy of the settings block that is stored, under the device mutex, only when every
// reply passed its checks, so a bad reply never reaches the block and is never written back.
class SettingsOperations : public QObject
{
    Q_OBJECT
public:
    enum Operation { ReadSettings = 0, WriteSettings = 1, ReadForVerification = 2, ZeroModule = 3,
                     SwitchSupply = 4, SwitchHartModem = 5 };

    // What the operation needs of the connected calibrator, taken when it starts.
    struct Calibrator
    {
        int type = 0;
        QString name;
    };
    struct Targets
    {
        DeviceSettings& block;
        ChannelRecord& secondChannel;
        HartDeviceData& hart;
        VerificationSettings& verification;
    };

    // The HART master as the verification read needs it, called in the thread that holds the port:
    // whether a transmitter answers, and a HART operation run nested (true when its read succeeded).
    struct HartHooks
    {
        std::function<bool()> reachable;
        std::function<bool(int operation)> run;
    };

    SettingsOperations(CalibratorLink& link, PortOwner& owner, PollController& work, QMutex& mutex,
                       const Targets& targets, HartHooks hart);

    // Called in the thread that holds the port: the home thread while the port is free, or a
    // settings worker that passes the port on. False, with nothing started, while another job holds it.
    bool start(int operation, bool flag, int argument, const Calibrator& calibrator);
    // Runs the operation stored in the work state, in the calling worker thread.
    void run();

    bool writeParameter(QByteArray& data, int reg, const QString& name, int type, int count);
    bool readParameter(QByteArray& out, int reg, const QString& name, int type, int count);
    void showReadError(const QString& name);
    // Joins the running worker, and the one it passed the port to; called by the port's home thread.
    void waitForEnd();
    // Whether the last read of the settings passed every check.
    bool lastReadSucceeded() const { return m_readOk; }
    // Whether the last read for a verification (operation 2) took every value it stores.
    bool lastVerificationReadSucceeded() const { return m_verificationReadOk; }

signals:
    void lockInterface(quint8 kind);
    void unlockInterface();
    void progress(int percent);
    void popUp(QString text);
    void finished(int operation);

private:
    bool runOperation(int operation);
    void readSettings();
    bool writeSettings();
    void readForVerification();
    void zeroModule();
    void switchRegister(int reg, int byte, const QString& name);

    bool exchange(const QByteArray& text, QByteArray& reply);
    bool readData(const QByteArray& text, QByteArray& reply);
    bool readChecked(const QByteArray& request, const QString& name,
                     const std::function<bool(const QByteArray&)>& take);
    bool readImage(DeviceSettings& block);
    bool readImagePart(int reg, int first, int count, DeviceSettings& block);
    bool readByte(int reg, int type, quint8& byte);
    bool readModuleUnit(DeviceSettings& block);
    void readSwitch(int reg, int byte, const QString& name, DeviceSettings& block);
    bool readModuleTemperature(DeviceSettings& block);
    bool readCalibratorSerial(DeviceSettings& block);
    bool readAccuracyClass(QString& text);
    void takeSecondChannel(quint8 currentInput);
    void takeTransferFunction();
    // Runs a HART operation nested in this worker; true when the command that reads its values succeeded.
    bool runNestedHart(int hartOperation);

    void tell(const QString& text);
    void stepDone();
    DeviceSettings snapshot() const;
    void store(const DeviceSettings& block);
    void storeByte(int byte, quint8 value);
    void changeSecondChannel(const std::function<void(ChannelRecord&)>& change);

    CalibratorLink& m_link;
    PortOwner& m_owner;
    PollController& m_work;
    QMutex& m_mutex;
    Targets m_targets;
    HartHooks m_hart;
    Calibrator m_calibrator;
    // The worker that holds the port; it clears itself as its last step.
    QMutex m_threadMutex;
    QThread* m_thread = nullptr;
    std::atomic<bool> m_readOk{false};
    std::atomic<bool> m_verificationReadOk{false};
};
