#include "BoundedWait.h"
#include "EmulatorCommands.h"
#include "ParametrPoller.h"
#include "QueuedSpy.h"
#include "ScreenLocker.h"
#include "SetupWindowRig.h"
#include "TabSearchDevicesZFN.h"
#include "TestEnvironment.h"
#include "VerificationSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

namespace {

const QString releaseCommand("11;200;0;1;200");
const QString busy("Дождитесь окончания текущей операции!");

// The search tab of the window on emulated calibrators.
struct SearchPage : SetupWindowRig
{
    using SetupWindowRig::SetupWindowRig;

    QTableWidget* table() const { return find<QTableWidget>("tableWidget"); }
    QComboBox* firstPort() const { return find<QComboBox>("comboBox_comIntervalMin"); }
    QComboBox* lastPort() const { return find<QComboBox>("comboBox_comIntervalMax"); }
    bool deviceButtonsEnabled(bool enabled) const
    {
        return button("pushButton_checkDevice")->isEnabled() == enabled
               && button("pushButton_disconnectDevice")->isEnabled() == enabled;
    }
    // The address, port and model of each row.
    QStringList rows() const
    {
        QStringList texts;
        for (int r = 0; r < table()->rowCount(); ++r)
            texts << table()->item(r, 0)->text() + ' ' + table()->item(r, 1)->text() + ' '
                         + table()->item(r, 2)->text();
        return texts;
    }

    // A search connects to the first calibrator found, which reads its settings; the window stays
    // locked until that read ends.
    bool search()
    {
        QueuedSpy finished(g_device, &DeviceZFN::searchFinished);
        button("pushButton_searchDevices")->click();
        return finished.wait(BoundedWait::jobMs) && settled();
    }
    void setRange(bool range, bool firstOnly)
    {
        find<QCheckBox>("checkBox_searchDeviceMode")->setChecked(range);
        find<QCheckBox>("checkBox_searchSingleDevice")->setChecked(firstOnly);
    }
    void publishPorts(const QStringList& entries)
    {
        bench.publishPorts(entries);
        button("pushButton_updateComList")->click();
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
        page.window.show();
        QVERIFY(page.deviceButtonsEnabled(false));

        QVERIFY(page.search());
        QVERIFY(!page.window.findChild<ScreenLocker*>()->isVisible());
        QCOMPARE(page.rows(), QStringList({"1 COM1 ЗФН-020"}));
        QCOMPARE(page.table()->currentRow(), 0);
        QVERIFY(emulator.isSessionOpen());
        QVERIFY(g_device->settingsReadSucceeded());
        QVERIFY(page.deviceButtonsEnabled(true));

        page.button("pushButton_checkDevice")->click();
        QCOMPARE(page.bench.popUps().last(), QString("Устройство на связи."));
        emulator.setSilent(true);
        page.button("pushButton_checkDevice")->click();
        QCOMPARE(page.bench.popUps().last(), QString("Нет связи с устройством."));
        emulator.setSilent(false);
        // A ping asked for while a worker holds the port sends nothing and is refused as any
        // other operation is; the page shows no text of its own.
        emulator.clearRequests();
        page.bench.clearPopUps();
        page.bench.runInWorker([] {
            QMetaObject::invokeMethod(g_tabSearchDevices, "checkCurrentDevice", Qt::BlockingQueuedConnection);
        });
        QCOMPARE(page.bench.popUps(), QStringList({busy}));
        QCOMPARE(emulator.requestCount(), 0);
        QVERIFY(!page.window.findChild<QLabel*>("label_deviceState"));

        page.button("pushButton_disconnectDevice")->click();
        QVERIFY(emulator.waitForRequests(1, BoundedWait::jobMs));
        QCOMPARE(emulator.requests().first().command, releaseCommand);
        QVERIFY(!g_device->isConnected());
        QCOMPARE(page.table()->currentRow(), -1);
        QVERIFY(page.deviceButtonsEnabled(false));

        // A search that finds nothing releases the calibrator once and leaves nothing to choose.
        QVERIFY(page.search());
        emulator.clearRequests();
        emulator.setSilent(true);
        QVERIFY(page.search());
        QCOMPARE(page.table()->rowCount(), 0);
        QVERIFY(page.deviceButtonsEnabled(false));
        QVERIFY(!g_device->isConnected());
        QCOMPARE(emulatorCommands(emulator).count(releaseCommand), 1);
    }

    // Both calibrators of a range are listed; choosing a row connects to that one, and a new port
    // list releases it.
    void rangeSearchOverTwoCalibrators()
    {
        SearchPage page(2);
        page.bench.emulator(1).setDeviceType(91);
        page.bench.emulator(1).setAddress(2);
        page.setRange(true, false);
        page.firstPort()->setCurrentIndex(0);
        page.lastPort()->setCurrentIndex(1);
        QVERIFY(page.search());
        QCOMPARE(page.rows(), QStringList({"1 COM1 ЗФН-020", "2 COM2 ЛМВ-160"}));
        QVERIFY(page.bench.emulator(0).isSessionOpen());
        QVERIFY(!page.bench.emulator(1).isSessionOpen());

        page.table()->setCurrentCell(1, 0);
        QVERIFY(page.settled());
        QTRY_VERIFY_WITH_TIMEOUT(!page.bench.emulator(0).isSessionOpen(), BoundedWait::jobMs);
        QVERIFY(page.bench.emulator(1).isSessionOpen());
        const QTabWidget* pages = page.find<QTabWidget>("tabDeviceConfig");
        QCOMPARE(pages->tabText(pages->indexOf(page.find<QWidget>("tabDevice"))), QString("Настройки ЛМВ"));

        page.bench.emulator(1).clearRequests();
        page.button("pushButton_updateComList")->click();
        QVERIFY(page.bench.emulator(1).waitForRequests(1, BoundedWait::jobMs));
        QCOMPARE(page.bench.emulator(1).requests().first().command, releaseCommand);
        QVERIFY(!g_device->isConnected());
        QVERIFY(g_device->foundDevices().isEmpty());
        QCOMPARE(page.table()->rowCount(), 0);
        QVERIFY(page.deviceButtonsEnabled(false));
    }

    // A search refused because a page's poller holds the port changes nothing: the list, the table,
    // the connection to the second calibrator and the poller stay as they were.
    void refusedSearchKeepsTheConnection()
    {
        SearchPage page(2);
        page.emulator(1).setAddress(2);
        page.setRange(true, false);
        page.firstPort()->setCurrentIndex(0);
        page.lastPort()->setCurrentIndex(1);
        QVERIFY(page.search());
        page.table()->setCurrentCell(1, 0);
        QVERIFY(page.settled());
        QVERIFY(page.emulator(1).isSessionOpen());

        ParametrPoller poller;
        QObject::connect(g_device, &DeviceZFN::stopAllExternalPolls, &poller, &ParametrPoller::stop);
        poller.start();
        QVERIFY(poller.isRunning());
        page.emulator(0).clearRequests();
        page.emulator(1).clearRequests();
        page.bench.clearPopUps();
        QueuedSpy finished(g_device, &DeviceZFN::searchFinished);
        QueuedSpy locked(g_device, &DeviceZFN::lockInteface);
        page.find<QAction>("action_foundDevices")->trigger();
        QCoreApplication::processEvents();

        QCOMPARE(page.bench.popUps(), QStringList({busy}));
        QCOMPARE(finished.count() + locked.count(), 0);
        QCOMPARE(page.rows(), QStringList({"1 COM1 ЗФН-020", "2 COM2 ЗФН-020"}));
        QCOMPARE(page.table()->currentRow(), 1);
        QCOMPARE(g_device->foundDevices().size(), 2);
        QCOMPARE(g_device->foundDeviceIndex(), 1);
        QVERIFY(poller.isRunning());
        poller.stop();
        QCOMPARE(page.emulator(0).requestCount() + page.emulator(1).requestCount(), 0);
        QVERIFY(page.emulator(1).isSessionOpen() && !page.emulator(0).isSessionOpen());
        QVERIFY(page.deviceButtonsEnabled(true));
    }

    // The port lists follow the range option and keep a range in order; a stored range is taken back.
    void portChoices()
    {
        SearchPage page(0);
        page.publishPorts({"COM4=/nonexistent/4", "COM12=/nonexistent/12", "COM3=/nonexistent/3"});
        page.window.show();
        QCOMPARE(page.firstPort()->currentIndex(), 2);
        QVERIFY(!page.lastPort()->isVisible());
        QVERIFY(!page.find<QCheckBox>("checkBox_searchSingleDevice")->isVisible());
        QVERIFY(g_device->getFlag(DeviceZFN::SearchFirstOnly).toBool());

        page.setRange(true, false);
        QVERIFY(page.lastPort()->isVisible());
        QVERIFY(g_device->getFlag(DeviceZFN::SearchPortRange).toBool());
        QVERIFY(!g_device->getFlag(DeviceZFN::SearchFirstOnly).toBool());
        page.button("pushButton_updateComList")->click();
        QCOMPARE(page.firstPort()->currentIndex(), 0);
        QCOMPARE(page.lastPort()->currentIndex(), 2);
        page.lastPort()->setCurrentIndex(1);
        page.firstPort()->setCurrentIndex(2);
        QCOMPARE(page.lastPort()->currentIndex(), 2);
        page.lastPort()->setCurrentIndex(1);
        QCOMPARE(page.firstPort()->currentIndex(), 1);

        // Stored indexes outside the list are passed over; a stored -1 ends the range at the last port.
        VerificationSettings& settings = *g_verificationSettings;
        settings.currentPortIndexMin = 7;
        settings.currentPortIndexMax = -1;
        g_device->setFlag(DeviceZFN::SearchPortRange, false);
        page.lastPort()->setCurrentIndex(0);
        g_tabSearchDevices->loadSettings();
        QCOMPARE(page.firstPort()->currentIndex(), 0);
        QCOMPARE(page.lastPort()->currentIndex(), 2);
        QVERIFY(!page.find<QCheckBox>("checkBox_searchDeviceMode")->isChecked());

        page.publishPorts({});
        QCOMPARE(page.firstPort()->count(), 0);
    }
};

QTEST_MAIN(TestSearchTab)
#include "test_search_tab.moc"
