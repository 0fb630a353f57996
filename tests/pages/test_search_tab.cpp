#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "MainWindow.h"
#include "ScreenLocker.h"
#include "TabSearchDevicesZFN.h"
#include "ChildLookup.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QtTest>
#include <memory>

namespace {

const QByteArray startFrame("\xFF:1;11;1;0;1;1;43755\r\xFF");
const QByteArray releaseFrame("\xFF:1;11;200;0;1;200;19630\r\xFF");
const QString releaseCommand("11;200;0;1;200");
constexpr int searchTimeoutMs = 20000;

int countCommands(const CalibratorEmulator& emulator, const QString& command)
{
    int count = 0;
    for (const EmulatorRequest& request : emulator.requests())
        count += request.command == command ? 1 : 0;
    return count;
}

bool logged(const CalibratorEmulator& emulator, const QByteArray& frame)
{
    for (const EmulatorRequest& request : emulator.requests())
        if (request.frame == frame)
            return true;
    return false;
}

// The main window on emulated calibrators, found through its search tab's widgets.
struct SearchPage
{
    DeviceTestBench bench;
    std::unique_ptr<MainWindow> window;

    explicit SearchPage(int emulators) : bench(emulators)
    {
        window = std::make_unique<MainWindow>();
        window->setStartMode(MainWindow::ApplyModes);
        g_device->setExchangeTimeout(300);
    }

    template <typename T>
    T* find(const char* name) const
    {
        return requireChild<T>(window.get(), name);
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QTableWidget* table() const { return find<QTableWidget>("tableWidget"); }
    QComboBox* firstPort() const { return find<QComboBox>("comboBox_comIntervalMin"); }
    QComboBox* lastPort() const { return find<QComboBox>("comboBox_comIntervalMax"); }
    QString state() const { return find<QLabel>("label_deviceState")->text(); }
    bool deviceButtonsEnabled() const
    {
        const bool check = button("pushButton_checkDevice")->isEnabled();
        if (check != button("pushButton_disconnectDevice")->isEnabled())
            qFatal("check and disconnect buttons disagree");
        return check;
    }
    QString deviceTabTitle() const
    {
        const QTabWidget* pages = find<QTabWidget>("tabDeviceConfig");
        return pages->tabText(pages->indexOf(find<QWidget>("tabDevice")));
    }
    QStringList row(int r) const { return {table()->item(r, 1)->text(), table()->item(r, 2)->text()}; }

    bool search()
    {
        QueuedSpy finished(g_device, &DeviceZFN::searchFinished);
        button("pushButton_searchDevices")->click();
        if (!finished.wait(searchTimeoutMs))
            return false;
        QCoreApplication::processEvents();
        return settingsReadDone();
    }
    // A connect reads the calibrator's settings; the window stays locked until that read ends.
    bool settingsReadDone() const
    {
        const QMenuBar* menu = window->menuBar();
        return QTest::qWaitFor([menu] { return g_device->portOwner()->isFree() && menu->isEnabled(); },
                               searchTimeoutMs);
    }
    void setRange(bool range, bool firstOnly)
    {
        find<QCheckBox>("checkBox_searchDeviceMode")->setChecked(range);
        find<QCheckBox>("checkBox_searchSingleDevice")->setChecked(firstOnly);
    }
};

}  // namespace

class TestSearchTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void searchConnectPingDisconnect()
    {
        SearchPage page(1);
        CalibratorEmulator& emulator = page.bench.emulator();
        page.window->show();
        QVERIFY(!page.deviceButtonsEnabled());
        QueuedSpy locked(g_device, &DeviceZFN::lockInteface);

        QVERIFY(page.search());
        QTRY_COMPARE(locked.count(), 2);
        QVERIFY(!page.window->findChild<ScreenLocker*>()->isVisible());
        QVERIFY(page.window->menuBar()->isEnabled());
        QCOMPARE(page.table()->rowCount(), 1);
        QCOMPARE(page.row(0), QStringList({"COM1", "ЗФН-020"}));
        QCOMPARE(page.table()->item(0, 0)->text(), QString("1"));
        QCOMPARE(page.table()->currentRow(), 0);
        QVERIFY(g_device->isConnected());
        QVERIFY(logged(emulator, startFrame));
        QVERIFY(emulator.isSessionOpen());
        QCOMPARE(page.deviceTabTitle(), QString("Настройки ЗФН"));
        QVERIFY(page.deviceButtonsEnabled());

        emulator.clearRequests();
        page.button("pushButton_checkDevice")->click();
        QCOMPARE(page.state(), QString("Устройство на связи."));
        QCOMPARE(page.bench.popUps().last(), QString("Устройство на связи."));
        QVERIFY(logged(emulator, startFrame));

        emulator.setSilent(true);
        page.button("pushButton_checkDevice")->click();
        QCOMPARE(page.state(), QString("Нет связи с устройством."));
        QCOMPARE(page.bench.popUps().last(), QString("Нет связи с устройством."));
        QVERIFY(page.deviceButtonsEnabled());
        emulator.setSilent(false);

        emulator.clearRequests();
        page.button("pushButton_disconnectDevice")->click();
        QVERIFY(emulator.waitForRequests(1, 2000));
        QCOMPARE(emulator.requests().first().frame, releaseFrame);
        QVERIFY(!emulator.isSessionOpen());
        QVERIFY(!g_device->isConnected());
        QCOMPARE(page.table()->currentRow(), -1);
        QVERIFY(!page.deviceButtonsEnabled());
        QCOMPARE(page.state(), QString());
    }

    void searchThatFindsNothingDisablesTheButtons()
    {
        SearchPage page(1);
        CalibratorEmulator& emulator = page.bench.emulator();
        QVERIFY(page.search());
        QVERIFY(page.deviceButtonsEnabled());

        emulator.clearRequests();
        emulator.setSilent(true);
        QVERIFY(page.search());
        QCOMPARE(page.table()->rowCount(), 0);
        QVERIFY(!page.deviceButtonsEnabled());
        QVERIFY(!g_device->isConnected());
        QCOMPARE(countCommands(emulator, releaseCommand), 1);
    }

    void rangeSearchOverTwoCalibrators()
    {
        SearchPage page(2);
        page.bench.emulator(1).setDeviceType(91);
        page.bench.emulator(1).setAddress(2);
        page.setRange(true, false);
        page.firstPort()->setCurrentIndex(0);
        page.lastPort()->setCurrentIndex(1);

        QVERIFY(page.search());
        QCOMPARE(page.table()->rowCount(), 2);
        QCOMPARE(page.row(0), QStringList({"COM1", "ЗФН-020"}));
        QCOMPARE(page.row(1), QStringList({"COM2", "ЛМВ-160"}));
        QCOMPARE(page.table()->item(1, 0)->text(), QString("2"));
        QVERIFY(page.bench.emulator(0).isSessionOpen());
        QVERIFY(!page.bench.emulator(1).isSessionOpen());

        page.table()->setCurrentCell(1, 0);
        QVERIFY(page.settingsReadDone());
        QVERIFY(!page.bench.emulator(0).isSessionOpen());
        QVERIFY(page.bench.emulator(1).isSessionOpen());
        QCOMPARE(page.deviceTabTitle(), QString("Настройки ЛМВ"));

        page.setRange(true, true);
        QVERIFY(page.search());
        QCOMPARE(page.table()->rowCount(), 1);
    }

    void portChoices()
    {
        SearchPage page(0);
        page.bench.publishPorts({"COM4=/nonexistent/4", "COM12=/nonexistent/12", "COM3=/nonexistent/3"});
        page.button("pushButton_updateComList")->click();
        page.window->show();
        QCOMPARE(page.firstPort()->count(), 3);
        QCOMPARE(page.firstPort()->itemText(2), QString("COM12"));
        QCOMPARE(page.firstPort()->currentIndex(), 2);
        QVERIFY(!page.lastPort()->isVisible());
        QVERIFY(!page.find<QCheckBox>("checkBox_searchSingleDevice")->isVisible());
        QVERIFY(g_device->getFlag(DeviceZFN::SearchFirstOnly).toBool());
        QVERIFY(!g_device->getFlag(DeviceZFN::SearchPortRange).toBool());

        page.setRange(true, false);
        QVERIFY(page.lastPort()->isVisible());
        QVERIFY(g_device->getFlag(DeviceZFN::SearchPortRange).toBool());
        QVERIFY(!g_device->getFlag(DeviceZFN::SearchFirstOnly).toBool());
        page.button("pushButton_updateComList")->click();
        QCOMPARE(page.firstPort()->currentIndex(), 0);
        QCOMPARE(page.lastPort()->currentIndex(), 2);

        page.firstPort()->setCurrentIndex(2);
        QCOMPARE(page.lastPort()->currentIndex(), 2);
        page.lastPort()->setCurrentIndex(1);
        QCOMPARE(page.firstPort()->currentIndex(), 1);
        page.firstPort()->setCurrentIndex(0);
        page.lastPort()->setCurrentIndex(0);
        page.firstPort()->setCurrentIndex(1);
        QCOMPARE(page.lastPort()->currentIndex(), 1);
    }

    void rangeKeptInVerificationSettings()
    {
        SearchPage page(0);
        page.bench.publishPorts({"COM1=/nonexistent/1", "COM2=/nonexistent/2", "COM3=/nonexistent/3"});
        page.button("pushButton_updateComList")->click();
        VerificationSettings& settings = *g_verificationSettings;
        page.setRange(true, false);

        page.firstPort()->setCurrentIndex(0);
        page.lastPort()->setCurrentIndex(2);
        g_tabSearchDevices->saveSettings();
        QCOMPARE(settings.currentPortIndexMin, qint16(0));
        QCOMPARE(settings.currentPortIndexMax, qint16(-1));
        page.lastPort()->setCurrentIndex(1);
        g_tabSearchDevices->saveSettings();
        QCOMPARE(settings.currentPortIndexMax, qint16(1));

        settings.currentPortIndexMin = 7;
        settings.currentPortIndexMax = -1;
        g_device->setFlag(DeviceZFN::SearchPortRange, false);
        g_tabSearchDevices->loadSettings();
        QCOMPARE(page.firstPort()->currentIndex(), 0);
        QCOMPARE(page.lastPort()->currentIndex(), 2);
        QVERIFY(!page.find<QCheckBox>("checkBox_searchDeviceMode")->isChecked());

        page.bench.publishPorts({});
        page.button("pushButton_updateComList")->click();
        QCOMPARE(page.firstPort()->count(), 0);
        g_tabSearchDevices->saveSettings();
        QCOMPARE(settings.currentPortIndexMin, qint16(-1));
        QCOMPARE(settings.currentPortIndexMax, qint16(-1));
    }

    void updatingThePortsReleasesTheDevice()
    {
        SearchPage page(1);
        QVERIFY(page.search());
        QVERIFY(g_device->isConnected());
        page.bench.emulator().clearRequests();

        page.button("pushButton_updateComList")->click();
        QVERIFY(logged(page.bench.emulator(), releaseFrame));
        QVERIFY(!g_device->isConnected());
        QVERIFY(g_device->foundDevices().isEmpty());
        QCOMPARE(page.table()->rowCount(), 0);
        QVERIFY(!page.deviceButtonsEnabled());
        QCOMPARE(page.firstPort()->count(), 1);
    }

    void pingWaitsForThePort()
    {
        SearchPage page(1);
        QVERIFY(page.search());
        page.bench.emulator().clearRequests();
        page.bench.runInWorker([] {
            QMetaObject::invokeMethod(g_tabSearchDevices, "checkCurrentDevice", Qt::QueuedConnection);
            QThread::msleep(300);
        });
        QCOMPARE(page.state(), QString("Порт занят: идет обмен с устройством."));
        QCOMPARE(page.bench.emulator().requestCount(), 0);
    }
};

QTEST_MAIN(TestSearchTab)
#include "test_search_tab.moc"
