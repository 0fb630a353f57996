#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"
#include "HartStatusWidget.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "ScreenLocker.h"
#include "TabHartxAditionalStatus.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QDateEdit>
#include <QMouseEvent>
#include <QtTest/qtestspontaneevent.h>

namespace {

const QString wrongCharacters = QStringLiteral("Выбранный параметр содержит неверные символы!");
const QString hartOff = QStringLiteral("HART протокол на устройстве не включен.");
const QString restarted = QStringLiteral("HART-устройсво перезагружено.");
const QString flagCleared = QStringLiteral("Флаг изменения кофигурации сброшен");
const QString factorySet = QStringLiteral("Заводские настройки успешно установлены.");
const char* const write = "pushButton_writeParametrs";
const char* const writeAddress = "pushButton_writeDeviceAdress";

// One field each, typed wrong. A write checks its fields in the reverse order of this list, so
// each refusal is told for its own field while the earlier ones are still wrong.
const struct BadInput
{
    const char* field;
    const char* text;
    const char* button;
    const QString& message;
} badInputs[] = {
    {"lineEdit_longHeader", "ЖЖ", write, wrongCharacters},
    {"lineEdit_numberOfPreambuls", "21", write, wrongCharacters},
    {"lineEdit_numberOfPreambuls", "", write, wrongCharacters},
    {"lineEdit_note", "A~B", write, wrongCharacters},
    {"dateEdit", "2156", write, g_msgWrongFieldData},
    {"dateEdit", "1899", write, g_msgWrongFieldData},
    {"lineEdit_description", "ДАТЧИК", write, wrongCharacters},
    {"lineEdit_header", "pt-101", write, wrongCharacters},
    {"lineEdit_deviceAdress", "", writeAddress, g_msgWrongFieldData},
    {"lineEdit_deviceAdress", "16", writeAddress, g_msgWrongFieldData},
    {"lineEdit_deviceAdress", "-1", writeAddress, g_msgWrongFieldData},
};

// Additional status replies in turn, and the lamps each lights: every reply starts from all lamps
// off, and bytes a short reply did not carry show off.
const struct
{
    const char* reply;
    QList<int> lit;
} statusReplies[] = {
    {"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"000000000000040008", {1, 6}},
    {"0000000000000700", {0, 1, 2}},
    {"000000000000F80080", {}},
    {"00000000000000007F", {3, 4, 5, 6, 7, 8, 9}},
    {"000000000000", {}},
};

template <int N>
QByteArray bytes(const quint8 (&block)[N])
{
    return QByteArray(reinterpret_cast<const char*>(block), N);
}

// What a write may change in the read record and the staging copy.
QByteArray writable(const HartDeviceData& d)
{
    return bytes(d.tag) + bytes(d.descriptor) + bytes(d.date) + bytes(d.message) + bytes(d.longTag)
           + char(d.responsePreambles) + char(d.newPollingAddress) + char(d.loopCurrentMode);
}

void movePointer(QWidget* widget, const QPoint& at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QList<int> litLamps(const TabHartxAditionalStatus& page)
{
    QList<int> lit;
    for (const HartStatusElement* lamp : page.lamps())
        if (lamp->state())
            lit << lamp->id();
    return lit;
}

}  // namespace

class TestHartPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        initHartTextTables();
    }

    // The information page walked through: its silent read, refused and unchanged writes, writes
    // of the changed groups, the address, restart and flag reset, the additional status, a lost
    // transmitter and the modem switched off.
    void informationPage()
    {
        HartSubPageRig rig;
        QVERIFY(!rig.find<QPushButton>(write)->isEnabled());
        const HartDeviceData read = rig.showSubPage(0);
        QCOMPARE(rig.texts({"label_deviceTypeExpanded", "label_hartProtocolVersion", "label_id", "label_phisicalInterface",
                            "label_modulesVersion", "lineEdit_deviceAdressExpanded", "lineEdit_deviceName",
                            "lineEdit_header", "lineEdit_note"}),
                 QStringList({"4660     ( 0x1234 )", "HART_7", "258     ( 0x102 )", "Bell 202 Current", "2",
                              "0x1234000102", "Неизвестное HART-устройство", "PT-101", "EMULATED TRANSMITTER"}));
        QVERIFY(rig.find<QLineEdit>("lineEdit_longHeader")->isEnabled());
        QCOMPARE(rig.tab->statusWidget()->statusText(), QString("  HART-устройство на связи "));
        QVERIFY(rig.find<QPushButton>(write)->isEnabled());
        QTRY_VERIFY(!rig.window->findChild<ScreenLocker*>()->isVisible());
        QVERIFY(rig.bench.popUps().isEmpty());
        // A page shown elsewhere reads nothing.
        rig.showOtherPage();
        rig.tab->updateTab();
        QTest::qWait(100);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);
        rig.showSubPage(0);

        // Nothing is staged from a refused write, even with other fields changed and valid; the
        // read record stays as the read left it.
        QCOMPARE(rig.refusal(write, "Конфигурация устройства не была изменена!"), QString());
        const QByteArray staged = writable(*rig.device().hartEditedData());
        rig.setText("lineEdit_note", "CHANGED");
        for (const BadInput& bad : badInputs) {
            QWidget* field = rig.find<QWidget>(bad.field);
            if (auto* line = qobject_cast<QLineEdit*>(field))
                line->setText(bad.text);
            else
                qobject_cast<QDateEdit*>(field)->setDate(QDate(QString(bad.text).toInt(), 1, 1));
            QCOMPARE(rig.refusal(bad.button, bad.message, bad.field), QString());
        }
        QCOMPARE(writable(*rig.device().hartData()), writable(read));
        QCOMPARE(writable(*rig.device().hartEditedData()), staged);

        // Only the changed groups are written, each with its command, then everything is read back.
        rig.run("pushButton_readParametrs");
        rig.find<QDateEdit>("dateEdit")->setDate(QDate(2031, 5, 17));
        QCOMPARE(rig.run(write).mid(0, 2), QList<int>({18, 0}));
        QCOMPARE(rig.sentData(18).right(3), QByteArray::fromHex("1105") + char(131));
        QCOMPARE(rig.find<QDateEdit>("dateEdit")->date(), QDate(2031, 5, 17));
        rig.setText("lineEdit_header", "PT");
        rig.setText("lineEdit_note", "CALIBRATED");
        rig.setText("lineEdit_numberOfPreambuls", "7");
        rig.setText("lineEdit_longHeader", "Zé");
        const int told = rig.bench.popUps().size();
        QCOMPARE(rig.run(write).mid(0, 5), QList<int>({18, 17, 59, 22, 0}));
        QCOMPARE(rig.sentData(22), QByteArray("Z\xE9") + QByteArray(30, ' '));
        QCOMPARE(rig.sentData(59), QByteArray(1, '\x07'));
        QCOMPARE(rig.texts({"lineEdit_header", "lineEdit_note", "lineEdit_longHeader", "lineEdit_numberOfPreambuls"}),
                 QStringList({"PT", "CALIBRATED", "Zé", "7"}));

        // Address 0 asks for the loop current to follow the variable; the button beside the field
        // asks the calibrator alone.
        for (const auto& [address, sent] : {std::pair{"3", "0300"}, std::pair{"0", "0001"}}) {
            rig.setText("lineEdit_deviceAdress", address);
            rig.run(writeAddress);
            QCOMPARE(rig.sentData(6), QByteArray::fromHex(sent));
            QCOMPARE(rig.text("lineEdit_deviceAdress"), QString(address));
        }
        rig.changeState([](HartTransmitterState& state) { state.pollingAddress = 5; });
        rig.clearLogs();
        rig.find<QPushButton>("pushButton_updateAdress")->click();
        QCOMPARE(rig.text("lineEdit_deviceAdress"), QString("5"));
        QCOMPARE(emulatorCommands(rig.bench.emulator()).filter("1;19;0;2").size(), 1);
        QVERIFY(rig.transmitter().commands().isEmpty());

        QCOMPARE(rig.run("pushButton_restartDevice"), QList<int>({42}));
        QCOMPARE(rig.run("pushButton_removeConfigurationChangedFlag").last(), 38);
        QTRY_COMPARE(rig.bench.popUps().mid(told), QStringList({restarted, flagCleared}));

        TabHartxAditionalStatus& status = *rig.tab->additionalStatusPage();
        rig.scope = &status;
        for (const auto& [reply, lit] : statusReplies) {
            rig.changeState([reply = reply](HartTransmitterState& s) { s.additionalStatus = QByteArray::fromHex(reply); });
            QCOMPARE(rig.run("pushButton_updateStatus"), QList<int>({48}));
            QCOMPARE(litLamps(status), lit);
        }
        rig.scope = rig.tab->informationPage();

        // The calibrator reports the transmitter gone: the bar says so, the fields keep the last read.
        rig.bench.emulator().setStatusReply("40", 15);
        rig.run("pushButton_readParametrs");
        QTRY_COMPARE(rig.tab->statusWidget()->statusText(), QString("  нет связи с HART-устройством "));
        QCOMPARE(rig.bench.popUps().size(), told + 3);
        QCOMPARE(rig.texts({"label_deviceTypeExpanded", "lineEdit_header"}), QStringList({"4660     ( 0x1234 )", "PT"}));

        // With the modem off the buttons say so and send nothing; the page's own read says nothing.
        rig.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 0;
        rig.clearLogs();
        rig.tab->updateTab();
        for (const char* button : {"pushButton_restartDevice", "pushButton_removeConfigurationChangedFlag",
                                   "pushButton_readParametrs"})
            rig.find<QPushButton>(button)->click();
        QCOMPARE(rig.bench.popUps().mid(told + 3), QStringList({hartOff, hartOff, hartOff}));
        QTest::qWait(50);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);

        // The hidden additional-status button leads to its slot, which starts nothing.
        auto* additional = rig.find<QPushButton>("pushButton_showAditionalStatus");
        QVERIFY(!additional->isVisibleTo(rig.tab->informationPage()));
        QVERIFY(QMetaObject::invokeMethod(rig.tab->informationPage(), "showAditionalStatus"));
        QVERIFY(QObject::disconnect(additional, &QPushButton::clicked, rig.tab->informationPage(),
                                    &TabHartInformation::showAditionalStatus));
    }

    // Leaving the page ends a read at its next command; turning back waits for the port rather
    // than being refused. A write runs to its end whether the page is left or the window minimised
    // and restored, which neither stops nor reads.
    void readsStopWritesRunToTheirEnd()
    {
        HartSubPageRig rig;
        rig.transmitter().setCommandDelay(13, 300);
        QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
        rig.showHartPage();
        QTRY_VERIFY(rig.transmitter().commands().contains(13));
        rig.showOtherPage();
        QVERIFY(finished.wait());
        QVERIFY(!finished.last().at(1).toBool());
        QTest::qWait(100);
        QCOMPARE(rig.transmitter().commands(), QList<int>({0, 13}));
        rig.transmitter().clearRequests();
        rig.showHartPage();
        QTRY_VERIFY(rig.transmitter().commands().contains(13));
        rig.showOtherPage();
        rig.showHartPage();
        QTRY_COMPARE_WITH_TIMEOUT(rig.transmitter().commands(), QList<int>({0, 13, 0, 13, 12, 20}), 10000);
        QTRY_VERIFY(!rig.window->findChild<ScreenLocker*>()->isVisible());
        QTRY_COMPARE(finished.size(), 3);

        rig.transmitter().setCommandDelay(17, 200);
        for (const bool minimise : {true, false}) {
            rig.setText("lineEdit_note", minimise ? "FIRST" : "SECOND");
            rig.clearLogs();
            rig.find<QPushButton>(write)->click();
            QTRY_VERIFY(rig.transmitter().commands().contains(17));
            QHideEvent minimised;
            QSpontaneKeyEvent::setSpontaneous(&minimised);
            // Delivered as the window system does: sendEvent would clear the spontaneous mark.
            if (minimise)
                static_cast<QObject*>(rig.tab)->event(&minimised);
            else
                rig.showOtherPage();
            QVERIFY(finished.wait());
            QCOMPARE(rig.transmitter().commands(), QList<int>({17, 0, 13, 12, 20}));
            QShowEvent restored;
            QSpontaneKeyEvent::setSpontaneous(&restored);
            static_cast<QObject*>(rig.tab)->event(&restored);
            QTest::qWait(100);
            QCOMPARE(rig.transmitter().commands().size(), 5);
        }
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    void dispatch_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("responseCode");
        QTest::addColumn<bool>("factoryReset");
        QTest::addColumn<QString>("message");
        const QString unknown("Неизвестная HART команда");
        QTest::newRow("2") << 2 << 0 << false << unknown;
        QTest::newRow("148") << 148 << 0 << false << QString();
        QTest::newRow("42 refused") << 42 << 5 << false << QString();
        QTest::newRow("38 in a factory reset") << 38 << 0 << true << QString();
        QTest::newRow("136 first") << 136 << 0 << false << QString();
        QTest::newRow("136 second") << 136 << 0 << true << factorySet;
        QTest::newRow("136 refused") << 136 << 16 << true << QString();
    }

    // The texts come from the record published with the result, whatever the read record holds
    // by the time the queue reaches them.
    void dispatch()
    {
        QFETCH(int, command);
        QFETCH(int, responseCode);
        QFETCH(bool, factoryReset);
        QFETCH(QString, message);
        DeviceTestBench bench(0);
        TabHart tab;
        HartDeviceData& live = *bench.device().hartData();
        live.responseCode = quint8(responseCode == 0 ? 9 : 0);
        live.factoryResetRunning = !factoryReset;
        HartDeviceData snapshot;
        snapshot.responseCode = quint8(responseCode);
        snapshot.factoryResetRunning = factoryReset;
        tab.getHartResult(command, snapshot);
        QCOMPARE(bench.popUps(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    // The end marker releases the overlay and sets the lamps from its own record, the first lamp
    // from the status byte's highest bit; the end of a failed read leaves the write buttons off.
    // The connection text changes only with the state.
    void operationEnds()
    {
        DeviceTestBench bench(0);
        TabHart tab;
        QSignalSpy unlocks(&bench.device(), &DeviceZFN::unlockInteface);
        HartDeviceData snapshot;
        bench.device().hartData()->deviceStatus = 0x6F;
        for (const quint8 status : {0xFF, 0x90}) {
            snapshot.deviceStatus = status;
            tab.getHartResult(-1, snapshot);
        }
        QCOMPARE(unlocks.size(), 2);
        for (int i = 0; i < HartStatusWidget::LampCount; ++i)
            QCOMPARE(tab.statusWidget()->lamp(i)->state(), i == 0 || i == 3);
        tab.getHartResult(1, snapshot);
        tab.getHartAlgoritmResult(9, true, snapshot);
        QVERIFY(bench.popUps().isEmpty());

        auto* writeButton = requireChild<QPushButton>(tab.informationPage(), write);
        tab.getHartAlgoritmResult(1, false, snapshot);
        QVERIFY(!writeButton->isEnabled());
        tab.getHartAlgoritmResult(1, true, snapshot);
        QVERIFY(writeButton->isEnabled());

        requireChild<QLabel>(tab.statusWidget(), "label_hartStatus")->setText("marker");
        tab.statusWidget()->setHartDeviceConnectionState(false);
        QCOMPARE(tab.statusWidget()->statusText(), QString("marker"));
    }

    // The pop-up opens over the bar once; pointing at a lamp below it highlights that lamp's row,
    // and leaving upwards closes it.
    void popUpFollowsThePointer()
    {
        QWidget window;
        window.setGeometry(100, 300, 800, 100);
        auto* bar = new HartStatusWidget(&window);
        bar->move(10, 50);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        HartStatusTextDiscription* popUp = bar->popUp();
        QVERIFY(!popUp->isVisible());
        movePointer(bar, QPoint(40, 5));
        QVERIFY(popUp->isVisible());
        const QPoint opened = popUp->pos();
        movePointer(bar, QPoint(200, 8));
        QCOMPARE(popUp->pos(), opened);

        auto overLamp = [&](int i) {
            return popUp->mapFromGlobal(bar->lamp(i)->mapToGlobal(bar->lamp(i)->rect().center()));
        };
        const QList<QLabel*> rows = popUp->findChildren<QLabel*>();
        movePointer(popUp, overLamp(3));
        QVERIFY(popUp->isSelected(3));
        QVERIFY(rows.at(3)->font().bold());
        movePointer(popUp, overLamp(6));
        QVERIFY(popUp->isSelected(6) && !popUp->isSelected(3));
        QVERIFY(!rows.at(3)->font().bold());

        movePointer(popUp, QPoint(20, 40));
        QVERIFY(popUp->isVisible());
        movePointer(popUp, QPoint(20, -1));
        QVERIFY(!popUp->isVisible());
    }
};

QTEST_MAIN(TestHartPage)
#include "test_hart_page.moc"
