#include "ChildLookup.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"
#include "HartStatusWidget.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "QueuedSpy.h"
#include "ScreenLocker.h"
#include "TabHart.h"
#include "TabHartxAditionalStatus.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>

namespace {

const QString wrongCharacters = QStringLiteral("Выбранный параметр содержит неверные символы!");

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

    // Showing the page reads it without a word when nothing can answer, and fills it when a
    // transmitter does; a page shown elsewhere reads nothing.
    void showingThePageReadsItSilently()
    {
        {
            HartSubPageRig rig(HartVariant::Family, 0x1234, false);
            rig.showHartPage();
            QTest::qWait(200);
            QVERIFY(rig.bench.popUps().isEmpty());
            QCOMPARE(rig.bench.emulator().requestCount(), 0);
        }
        HartSubPageRig rig;
        QCOMPARE(rig.find<QPushButton>("pushButton_writeParametrs")->isEnabled(), false);
        rig.showAndRead();
        QCOMPARE(rig.find<QLabel>("label_deviceTypeExpanded")->text(), QString("4660     ( 0x1234 )"));
        QCOMPARE(rig.find<QLabel>("label_hartProtocolVersion")->text(), QString("HART_7"));
        QCOMPARE(rig.find<QLabel>("label_id")->text(), QString("258     ( 0x102 )"));
        QCOMPARE(rig.find<QLabel>("label_phisicalInterface")->text(), QString("Bell 202 Current"));
        QCOMPARE(rig.find<QLabel>("label_modulesVersion")->text(), QString("2"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_deviceAdressExpanded")->text(), QString("0x1234000102"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_deviceName")->text(), QString("Неизвестное HART-устройство"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_header")->text(), QString("PT-101"));
        QVERIFY(rig.find<QLineEdit>("lineEdit_longHeader")->isEnabled());
        QCOMPARE(rig.tab->statusWidget()->statusText(), QString("  HART-устройство на связи "));
        QVERIFY(rig.find<QPushButton>("pushButton_writeParametrs")->isEnabled());
        QTRY_VERIFY(!rig.window->findChild<ScreenLocker*>()->isVisible());
        QVERIFY(rig.bench.popUps().isEmpty());

        rig.showOtherPage();
        rig.tab->updateTab();
        QTest::qWait(100);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);
    }

    void aTransmitterWithoutLongTag()
    {
        HartSubPageRig rig(HartVariant::Hart5);
        rig.showAndRead();
        QVERIFY(!rig.find<QLineEdit>("lineEdit_longHeader")->isEnabled());
        QVERIFY(rig.find<QLineEdit>("lineEdit_longHeader")->text().isEmpty());
        rig.find<QLineEdit>("lineEdit_note")->setText("NEW NOTE");
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands().first(), 17);
        QVERIFY(!rig.transmitter().commands().contains(22));
    }

    // The calibrator reports the transmitter gone: the bar says so, the fields keep the last read.
    void aVanishedTransmitterLeavesTheFields()
    {
        HartSubPageRig rig;
        rig.showAndRead();
        rig.bench.emulator().setStatusReply("40", 15);
        QVERIFY(rig.clickAndWait("pushButton_readParametrs"));
        QTRY_COMPARE(rig.tab->statusWidget()->statusText(), QString("  нет связи с HART-устройством "));
        QCOMPARE(rig.bench.popUps().size(), 1);
        QCOMPARE(rig.find<QLabel>("label_deviceTypeExpanded")->text(), QString("4660     ( 0x1234 )"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_header")->text(), QString("PT-101"));
    }

    void dispatch_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("responseCode");
        QTest::addColumn<bool>("factoryReset");
        QTest::addColumn<QString>("message");
        const QString unknown("Неизвестная HART команда");
        QTest::newRow("2") << 2 << 0 << false << unknown;
        QTest::newRow("-2") << -2 << 0 << false << unknown;
        QTest::newRow("17") << 17 << 0 << false << QString();
        QTest::newRow("148") << 148 << 0 << false << QString();
        QTest::newRow("42") << 42 << 0 << false << "HART-устройсво перезагружено.";
        QTest::newRow("42 refused") << 42 << 5 << false << QString();
        QTest::newRow("38") << 38 << 0 << false << "Флаг изменения кофигурации сброшен";
        QTest::newRow("38 in a factory reset") << 38 << 0 << true << QString();
        QTest::newRow("136 first") << 136 << 0 << false << QString();
        QTest::newRow("136 second") << 136 << 0 << true << "Заводские настройки успешно установлены.";
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

        auto* write = requireChild<QPushButton>(tab.informationPage(), "pushButton_writeParametrs");
        tab.getHartAlgoritmResult(1, false, snapshot);
        QVERIFY(!write->isEnabled());
        tab.getHartAlgoritmResult(1, true, snapshot);
        QVERIFY(write->isEnabled());
    }

    // Only the changed groups are written, each with its command, then everything is read back.
    void writesSendTheChangedGroups()
    {
        HartSubPageRig rig;
        rig.showAndRead();
        QDateEdit* date = rig.find<QDateEdit>("dateEdit");
        date->setDate(QDate(2031, 5, 17));
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands().mid(0, 2), QList<int>({18, 0}));
        QCOMPARE(rig.sentData(18).right(3), QByteArray::fromHex("1105") + char(131));
        QCOMPARE(rig.transmitter().state().date, QByteArray::fromHex("1105") + char(131));
        QCOMPARE(date->date(), QDate(2031, 5, 17));

        rig.clearLogs();
        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QCOMPARE(rig.bench.popUps(), QStringList{"Конфигурация устройства не была изменена!"});
        QTest::qWait(50);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);

        rig.find<QLineEdit>("lineEdit_header")->setText("PT");
        rig.find<QLineEdit>("lineEdit_note")->setText("CALIBRATED");
        rig.find<QLineEdit>("lineEdit_numberOfPreambuls")->setText("7");
        rig.find<QLineEdit>("lineEdit_longHeader")->setText("Zé");
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands().mid(0, 5), QList<int>({18, 17, 59, 22, 0}));
        QCOMPARE(rig.sentData(22), QByteArray("Z\xE9") + QByteArray(30, ' '));
        QCOMPARE(rig.sentData(59), QByteArray(1, '\x07'));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_header")->text(), QString("PT"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_note")->text(), QString("CALIBRATED"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_longHeader")->text(), QString("Zé"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_numberOfPreambuls")->text(), QString("7"));
        QCOMPARE(rig.bench.popUps().size(), 1);
    }

    void badInputIsRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        const QString write("pushButton_writeParametrs");
        const QString address("pushButton_writeDeviceAdress");
        const QString wrongData("В выбранном поле содержатся неверные данные");
        QTest::newRow("lower-case tag") << "lineEdit_header" << "pt-101" << write << wrongCharacters;
        QTest::newRow("Cyrillic descriptor") << "lineEdit_description" << "ДАТЧИК" << write << wrongCharacters;
        QTest::newRow("message with a tilde") << "lineEdit_note" << "A~B" << write << wrongCharacters;
        QTest::newRow("no preambles") << "lineEdit_numberOfPreambuls" << "" << write << wrongCharacters;
        QTest::newRow("21 preambles") << "lineEdit_numberOfPreambuls" << "21" << write << wrongCharacters;
        QTest::newRow("long tag outside Latin-1") << "lineEdit_longHeader" << "ЖЖ" << write << wrongCharacters;
        QTest::newRow("year 1899") << "dateEdit" << "1899" << write << wrongData;
        QTest::newRow("year 2156") << "dateEdit" << "2156" << write << wrongData;
        QTest::newRow("no address") << "lineEdit_deviceAdress" << "" << address << wrongData;
        QTest::newRow("address 16") << "lineEdit_deviceAdress" << "16" << address << wrongData;
        QTest::newRow("address -1") << "lineEdit_deviceAdress" << "-1" << address << wrongData;
    }

    // The field's message, the focus on it, nothing sent and nothing staged; the read record
    // stays as the read left it, even when other fields were changed and valid.
    void badInputIsRefused()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(QString, message);
        HartSubPageRig rig;
        const HartDeviceData read = rig.showAndRead();
        const QByteArray staged = writable(*rig.device().hartEditedData());
        rig.find<QLineEdit>("lineEdit_note")->setText("CHANGED");
        QWidget* edit = rig.find<QWidget>(field.toLatin1());
        if (auto* line = qobject_cast<QLineEdit*>(edit))
            line->setText(text);
        else
            qobject_cast<QDateEdit*>(edit)->setDate(QDate(text.toInt(), 1, 1));
        rig.find<QPushButton>(button.toLatin1())->click();
        QCOMPARE(rig.bench.popUps(), QStringList{message});
        QCOMPARE(rig.window->focusWidget(), edit);
        QTest::qWait(50);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);
        QCOMPARE(writable(*rig.device().hartData()), writable(read));
        QCOMPARE(writable(*rig.device().hartEditedData()), staged);
    }

    // Address 0 asks for the loop current to follow the variable; the button beside the field
    // asks the calibrator alone.
    void operationsOfTheInformationPage()
    {
        HartSubPageRig rig;
        rig.showAndRead();
        rig.find<QLineEdit>("lineEdit_deviceAdress")->setText("3");
        QVERIFY(rig.clickAndWait("pushButton_writeDeviceAdress"));
        QCOMPARE(rig.sentData(6), QByteArray::fromHex("0300"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_deviceAdress")->text(), QString("3"));

        rig.clearLogs();
        rig.find<QLineEdit>("lineEdit_deviceAdress")->setText("0");
        QVERIFY(rig.clickAndWait("pushButton_writeDeviceAdress"));
        QCOMPARE(rig.sentData(6), QByteArray::fromHex("0001"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_deviceAdress")->text(), QString("0"));
        QVERIFY(rig.bench.popUps().isEmpty());

        rig.clearLogs();
        rig.changeState([](HartTransmitterState& state) { state.pollingAddress = 5; });
        rig.find<QPushButton>("pushButton_updateAdress")->click();
        QCOMPARE(rig.find<QLineEdit>("lineEdit_deviceAdress")->text(), QString("5"));
        QCOMPARE(emulatorCommands(rig.bench.emulator()).filter("1;19;0;2").size(), 1);
        QVERIFY(rig.transmitter().commands().isEmpty());

        // Restart and flag reset, each told in a box; with the modem off nothing is sent.
        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_restartDevice"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({42}));
        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_removeConfigurationChangedFlag"));
        QCOMPARE(rig.transmitter().commands().last(), 38);
        QTRY_COMPARE(rig.bench.popUps().size(), 2);

        rig.clearLogs();
        rig.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 0;
        const QString off("HART протокол на устройстве не включен.");
        rig.find<QPushButton>("pushButton_restartDevice")->click();
        rig.find<QPushButton>("pushButton_removeConfigurationChangedFlag")->click();
        rig.find<QPushButton>("pushButton_readParametrs")->click();
        QCOMPARE(rig.bench.popUps().mid(2), QStringList({off, off, off}));
        QTest::qWait(50);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);

        // The hidden additional-status button leads to its slot, which starts nothing.
        auto* page = rig.find<TabHartInformation>("TabHartInformation");
        auto* additional = rig.find<QPushButton>("pushButton_showAditionalStatus");
        QVERIFY(!additional->isVisibleTo(page));
        QVERIFY(QMetaObject::invokeMethod(page, "showAditionalStatus"));
        QVERIFY(QObject::disconnect(additional, &QPushButton::clicked, page, &TabHartInformation::showAditionalStatus));
    }

    // Leaving the page ends a read at its next command; turning back waits for the port rather
    // than being refused, and nothing overlaps on the line.
    void leavingThePageStopsTheRead()
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
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    // A write is never cut by the page; minimising and restoring neither stop nor read.
    void writesRunToTheirEnd()
    {
        HartSubPageRig rig;
        rig.showAndRead();
        rig.transmitter().setCommandDelay(17, 200);
        QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
        rig.find<QLineEdit>("lineEdit_note")->setText("FIRST");
        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QTRY_VERIFY(rig.transmitter().commands().contains(17));
        QHideEvent minimised;
        QSpontaneKeyEvent::setSpontaneous(&minimised);
        // Delivered as the window system does: sendEvent would clear the spontaneous mark.
        static_cast<QObject*>(rig.tab)->event(&minimised);
        QVERIFY(finished.wait());
        QCOMPARE(rig.transmitter().commands(), QList<int>({17, 0, 13, 12, 20}));
        QShowEvent restored;
        QSpontaneKeyEvent::setSpontaneous(&restored);
        static_cast<QObject*>(rig.tab)->event(&restored);
        QTest::qWait(100);
        QCOMPARE(rig.transmitter().commands().size(), 5);

        rig.clearLogs();
        rig.find<QLineEdit>("lineEdit_note")->setText("SECOND");
        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QTRY_VERIFY(rig.transmitter().commands().contains(17));
        rig.showOtherPage();
        QVERIFY(finished.wait());
        QCOMPARE(rig.transmitter().commands(), QList<int>({17, 0, 13, 12, 20}));
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    // Another text in the label stays until the state itself changes.
    void connectionTextChangesOnlyWithTheState()
    {
        HartStatusWidget bar;
        const QString off("  нет связи с HART-устройством ");
        QCOMPARE(bar.statusText(), off);
        auto* label = bar.findChild<QLabel*>("label_hartStatus");
        label->setText("marker");
        bar.setHartDeviceConnectionState(false);
        QCOMPARE(bar.statusText(), QString("marker"));
        bar.setHartDeviceConnectionState(true);
        QCOMPARE(bar.statusText(), QString("  HART-устройство на связи "));
        label->setText("marker");
        bar.setHartDeviceConnectionState(true);
        QCOMPARE(bar.statusText(), QString("marker"));
        bar.setHartDeviceConnectionState(false);
        QCOMPARE(bar.statusText(), off);
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
        QCOMPARE(rows.at(3)->text(), QString("Доступен дополнительный статус"));
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

    void lamps_data()
    {
        QTest::addColumn<int>("byte6");
        QTest::addColumn<int>("byte8");
        QTest::addColumn<QList<int>>("lit");
        QTest::newRow("extended status") << 0x07 << 0x00 << QList<int>({0, 1, 2});
        QTest::newRow("other extended bits") << 0xF8 << 0x00 << QList<int>();
        QTest::newRow("standardized status") << 0x00 << 0x7F << QList<int>({3, 4, 5, 6, 7, 8, 9});
        QTest::newRow("bit 0x80") << 0x00 << 0x80 << QList<int>();
        QTest::newRow("power lost, watchdog") << 0x04 << 0x08 << QList<int>({1, 6});
    }

    // Command 48 reaches the hidden page through the tab; each reply starts from all lamps off.
    void lamps()
    {
        QFETCH(int, byte6);
        QFETCH(int, byte8);
        QFETCH(QList<int>, lit);
        DeviceTestBench bench(0);
        TabHart tab;
        TabHartxAditionalStatus& page = *tab.additionalStatusPage();
        HartDeviceData snapshot;
        std::fill(std::begin(snapshot.additionalStatus), std::end(snapshot.additionalStatus), quint8(0xFF));
        tab.getHartResult(48, snapshot);
        QCOMPARE(litLamps(page).size(), 10);
        snapshot.additionalStatus[6] = quint8(byte6);
        snapshot.additionalStatus[8] = quint8(byte8);
        tab.getHartResult(48, snapshot);
        QCOMPARE(litLamps(page), lit);
        QVERIFY(bench.popUps().isEmpty());
        QCOMPARE(page.findChildren<QLabel*>().first()->text(), QString("Выход за диапазон одной из переменных прибора."));
    }

    // Bytes a short reply did not carry show off; the button reads command 48 again.
    void aShortReply()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.additionalStatus = QByteArray::fromHex("0000000000000700"); });
        rig.showSubPage(0);
        TabHartxAditionalStatus& page = *rig.tab->additionalStatusPage();
        rig.scope = &page;
        QVERIFY(rig.clickAndWait("pushButton_updateStatus"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({48}));
        QCOMPARE(litLamps(page), QList<int>({0, 1, 2}));
        rig.changeState([](HartTransmitterState& s) { s.additionalStatus = QByteArray::fromHex("000000000000"); });
        QVERIFY(rig.clickAndWait("pushButton_updateStatus"));
        QCOMPARE(litLamps(page), QList<int>());
    }
};

QTEST_MAIN(TestHartPage)
#include "test_hart_page.moc"
