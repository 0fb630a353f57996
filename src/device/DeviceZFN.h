#pragma once

#include "CalibratorLink.h"
#include "DeviceInfo.h"
#include "HartDeviceData.h"
#include "LockKind.h"
#include "PortEntry.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <atomic>
#include <functional>

class QAbstractItemModel;
class QSerialPort;
class QThread;
class ArchiveModel;
class ArchiveWorker;
class ChannelRecord;
class ChannelsModel;
class ConfiguratorModule;
class DeviceAuxBlock;
class DeviceSearch;
class DeviceSettings;
class ExchangeWait;
class HartMaster;
class MeasurementPoller;
class PollController;
class PollThread;
class PortOwner;
class ResultRecord;
class ResultsCollector;
class SettingsOperations;
class ResultsModel;
class VerificationSettings;

// The one device object of the process. It owns the serial link to the calibrator and every record
// and model describing it, and is the hub of signals through which its workers (search, polling,
// results, archive) reach the interface. It lives in the GUI thread; the port owner lends the serial
// port to whichever worker talks to the calibrator.
class DeviceZFN : public QObject
{
    Q_OBJECT
public:
    using ExchangeStatus = CalibratorLink::Status;
    enum SearchOption : quint16 { SearchFirstOnly = 0, SearchPortRange = 1 };
    using PopUpSink = std::function<void(const QString&)>;

    explicit DeviceZFN(QObject* parent = nullptr);
    ~DeviceZFN() override;
    void init();

    bool sendAndRead(const QByteArray& request);
    ExchangeStatus lastExchangeStatus() const { return m_lastStatus; }
    bool sendSessionStart();
    void sendSessionEnd();
    bool readRegisters(QByteArray& out, int p1, int p2 = -1, int p3 = -1, int p4 = -1, int p5 = -1, int p6 = -1);
    bool writeRegisters(QByteArray& out, int reg, int type, int count, const QByteArray& data);
    bool readValues(int p1, int p2 = -1, int p3 = -1, int p4 = -1, int p5 = -1, int p6 = -1);
    bool readValuesTo(QByteArray& out, int p1, int p2 = -1, int p3 = -1, int p4 = -1, int p5 = -1, int p6 = -1);
    QByteArray lastReply() const { return m_lastReply; }

    QMutex* mutex() const { return m_mutex; }
    bool isConnected() const { return m_connected; }
    bool checkConnection();
    bool checkHartConnection(bool showMessages);
    void setProgressSteps(int n);

    void refreshPortList();
    const QList<PortEntry>& portList() const;
    const QList<DeviceInfo>& foundDevices() const;
    // Releases the calibrator in session and searches; searchFinished() follows. False, with the
    // refusal shown and nothing stopped or changed, while a job other than polling or archive
    // work holds the port.
    bool startSearch(int first, int last);
    void connectToDevice(int index);
    void releaseDevice();
    void setFlag(quint16 key, const QVariant& value);
    QVariant getFlag(quint16 key) const;

    QSerialPort* serialPort() const;
    PortOwner* portOwner() const { return m_portOwner; }
    CalibratorLink* link() const { return m_link; }
    PollController* pollController() const { return m_poll; }
    DeviceSettings* deviceSettings() const { return m_settings; }
    ChannelRecord* currentChannel() const { return m_channel; }
    ChannelRecord* secondChannel() const { return m_secondChannel; }
    ChannelsModel* channelsModel() const { return m_channelsModel; }
    ResultsModel* resultsModel() const { return m_resultsModel; }
    ArchiveModel* archiveModel() const { return m_archiveModel; }
    HartDeviceData* hartData() const { return m_hartData; }
    HartDeviceData* hartEditedData() const { return m_hartEdited; }
    VerificationSettings* verificationSettings() const { return m_verificationSettings; }
    DeviceAuxBlock* auxBlock() const { return m_auxBlock; }
    ConfiguratorModule* configuratorModule() const { return m_configurator; }
    // Made by the start-up; the device object only hands it to the pages.
    void setConfiguratorModule(ConfiguratorModule* module) { m_configurator = module; }
    const DeviceInfo* connectedDevice() const { return m_connectedDevice; }
    int foundDeviceIndex() const { return m_foundIndex; }
    int deviceType() const { return m_deviceType; }
    QString deviceName() const { return m_deviceName; }
    void setExchangeTimeout(int ms);

    // Replaces the modal box of showPopUpMessage, so tests can record the texts instead of blocking.
    static void setPopUpSink(PopUpSink sink);

    // False, with a message, while another job holds the port.
    bool startPoll();
    void stopPoll();
    void setPollMode(int mode);
    int pollMode() const;
    // True once the running poll session has published a cycle: a point can be made of it.
    bool hasSessionCycle() const;
    // Tells the user that the port is lent to another job.
    void refuseBusyPort();
    // For an operation the GUI thread runs itself: false, with the refusal shown, while a job holds
    // the port, so nothing is sent.
    bool ensurePortFree();
    // What every page checks before it starts an operation: the connection first, then the port;
    // false after the first refusal was shown.
    bool readyToStart();

    // The caller holds the device mutex.
    bool storeCurrentResult();
    // The rows of proxy carry their archive record's row (ArchiveModel::RecordRowRole).
    void setArchiveProxy(QAbstractItemModel* proxy);
    void setArchiveSelectedRows(const QList<int>& rows);
    void setArchiveSelectedOnly(bool selectedOnly);
    void addArchiveFramesToResults();

    void startReadArchive();
    void stopReadArchive();
    void startClearArchive();
    void stopClearArchive();
    // Frames of the current archive pass that came malformed or failed their checks (cleared frames
    // are empty, not bad, and are not counted).
    int archiveSkippedCount() const;

    // Calibrator settings operations, each in a worker thread of its own (SettingsOperations).
    // startAlgorithm refuses, with a message, while another job holds the port.
    void startAlgorithm(int operation, bool flag, int argument);
    bool writeParameter(QByteArray& data, int reg, const QString& name, int type, int count);
    bool readParameter(QByteArray& out, int reg, const QString& name, int type, int count);
    void showReadError(const QString& name);
    // Whether the last settings read passed every check; its end is algoritmFinished(0) either way.
    bool settingsReadSucceeded() const;
    // Whether the last read for a verification took every value; its end is algoritmFinished(2) either way.
    bool verificationReadSucceeded() const;
public slots:
    void makeAlgoritmSeparate();

signals:
    // Emitted by whatever changed the settings block outside a settings operation (the HART
    // operations); the settings page refreshes its form from it, in the GUI thread.
    void settingsBlockChanged();
    void showStatusMessageSignal(QString text);
    void showPopUpMessageSignal(QString text);
    void lockInteface(quint8 kind = LockKind::Search);
    void unlockInteface();
    void searchFinished();
    void sendProgress(int percent);
    void deviceConnected();
    void checkCurrentDevice();
    void pollStopedSignal();
    void poolFullyStoped();
    void pollUpdateSignal();
    // The running session's first cycle has published; it comes before that cycle's pollUpdateSignal.
    void firstCycleSignal();
    void groupAdded();
    void archiveReadStoped();
    void archiveReadFinished();
    void archiveClearStoped();
    void archiveClearFinished();
    void sendHartResult(int command, const HartDeviceData& data = HartDeviceData());
    void sendHartDeviceConnectionState(bool connected);
    void sendAlgoritmFinished(int algorithm, bool succeeded = true, const HartDeviceData& data = HartDeviceData());
    void algoritmFinished(int operation);
    void stopAllExternalPolls();
    void setDeviceType(int type);
    // Every frame moved into the results came from the calibrator with this serial number.
    void archiveSerialFound(quint32 serial);

public slots:
    void pollSlot();
    bool getEventByKey(int key);
    void addResult();
    void addGroupResult();
    void addGroupElement();
    void stopAddingGroup();
    void stopSearch();
    // The program is leaving: the exchange under way is cut, even one the window's thread waits in
    // (its events, the quit among them, are delivered during the wait), and none starts any more.
    // The release frame still goes out when the object is destroyed.
    void cutExchangesForExit();
    void showPopUpMessage(QString text);

    // HART master: the transmitter behind the calibrator (command 40, values 19 and 20). The
    // exchanges run in the thread that holds the port; operations run in a worker of their own and
    // report through sendHartResult (after every command, -1 at the end) and sendAlgoritmFinished,
    // each carrying a copy of the read record.
public:
    HartMaster* hartMaster() const { return m_hart; }
    bool sendHartFrame(QByteArray& hexFrame);
    bool sendHartCommand(quint8 command, int addressForm, int frameType, QByteArray& data, bool acceptDeviceError,
                         bool showDeviceError);
    bool sendHartCommandNoData(quint8 command, bool acceptDeviceError, bool showDeviceError);
    bool hartConnect(bool quiet, bool readIdentity);
    // False, with nothing started, for an unknown number, an empty field mask of a write, or (with
    // the refusal shown) while another job holds the port.
    bool startHartAlgorithm(int algorithm, bool flag, int fieldMask);
    void waitForWorker();
    bool leaveFixedCurrent();
    bool readSpecificInfo();
    static bool hartResponseOk(const HartDeviceData& snapshot) { return snapshot.responseCode == 0; }
public slots:
    void makeHartAlgoritmSeparate();
    void makeHartAlgoritmSeparate(bool nested);
private:
    void createHartMaster();
    HartMaster* m_hart = nullptr;

private:
    void createWorkers();
    void createPoller();
    void createCollector();
    void createSearch();
    void createArchiveWorker();
    void createSettingsOperations();
    QString noAnswerText() const;
    void stopPollingWith(const QString& message);
    void debugLine(const QString& event, const QByteArray& detail = QByteArray()) const;
    quint8 busAddress() const;
    void setConnectedDevice(const DeviceInfo* device);
    QByteArray sessionFrame(int reg, int value) const;
    bool exchangeCommand(const QByteArray& text, int timeoutMs);
    bool exchangeFrame(const QByteArray& request, int timeoutMs);
    void stopWorkers();
    bool portFreeOnceWorkersStop() const;
    bool connectTransmitter(bool quiet);

    DeviceSettings* m_settings = nullptr;
    ChannelRecord* m_channel = nullptr;
    ChannelRecord* m_secondChannel = nullptr;
    const DeviceInfo* m_connectedDevice = nullptr;
    ChannelsModel* m_channelsModel = nullptr;
    ResultsModel* m_resultsModel = nullptr;
    ArchiveModel* m_archiveModel = nullptr;
    int m_deviceType = 0;
    HartDeviceData* m_hartData = nullptr;
    HartDeviceData* m_hartEdited = nullptr;
    VerificationSettings* m_verificationSettings = nullptr;
    ConfiguratorModule* m_configurator = nullptr;
    DeviceAuxBlock* m_auxBlock = nullptr;
    PortOwner* m_portOwner = nullptr;
    ArchiveWorker* m_archive = nullptr;
    DeviceSearch* m_search = nullptr;
    MeasurementPoller* m_poller = nullptr;
    ResultsCollector* m_collector = nullptr;
    SettingsOperations* m_settingsOperations = nullptr;
    CalibratorLink* m_link = nullptr;
    ExchangeWait* m_exchangeWait = nullptr;
    QByteArray m_lastReply;
    QString m_deviceName;
    PollController* m_poll = nullptr;
    QMutex* m_mutex = nullptr;
    std::atomic<bool> m_connected{false};
    int m_foundIndex = -1;
    ExchangeStatus m_lastStatus = ExchangeStatus::NoAnswer;
};

extern DeviceZFN* g_device;
extern ChannelRecord* g_currentChannel;
extern QList<PortEntry> g_portList;
extern QList<DeviceInfo> g_foundDevices;
extern QMutex g_searchMutex;
