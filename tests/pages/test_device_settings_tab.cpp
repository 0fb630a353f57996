#include "ChildLookup.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "MainWindow.h"
#include "MemoryImage.h"
#include "PressureUnits.h"
#include "QuestionAnswers.h"
#include "QueuedSpy.h"
#include "TabDeviceConfiguration.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

constexpr int waitMs = 10000;

QByteArray floatBytes(float value)
{
    DeviceSettings block;
    block.setFloatAt(0, value);
    return QByteArray(reinterpret_cast<const char*>(block.bytes.data()), 4);
}

// The settings page on one emulated calibrator, its widgets found by their names.
struct SettingsPage
{
    DeviceTestBench bench;
    std::unique_ptr<TabDeviceConfiguration> tab = std::make_unique<TabDeviceConfiguration>();
    QueuedSpy finished{&bench.device(), &DeviceZFN::algoritmFinished};

    explicit SettingsPage(int type = 70)
    {
        if (!bench.connectTo(0, 1, type))
            qFatal("not connected");
        bench.device().setExchangeTimeout(300);
    }
    ~SettingsPage() { answerQuestions(nullptr); }
    CalibratorEmulator& emulator() { return bench.emulator(); }

    template <typename T>
    T* find(const char* name) const
    {
        return requireChild<T>(tab.get(), name);
    }
    QComboBox* list(const char* name) const { return find<QComboBox>(name); }
    QDoubleSpinBox* number(const char* name) const { return find<QDoubleSpinBox>(name); }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }

    // Clicks a button that starts an operation and waits until its end has reached the page.
    bool runOperation(const char* name, int endOperation)
    {
        finished.clear();
        button(name)->click();
        return QTest::qWaitFor([&] {
            return !finished.isEmpty() && finished.last().at(0).toInt() == endOperation
                   && bench.device().portOwner()->isFree();
        }, waitMs);
    }
    bool read() { return runOperation("pushButton_read", 0); }
    // The image as the write requests carried it (registers 16 and 48).
    QByteArray writtenImage()
    {
        QByteArray hex;
        for (const QString& command : emulatorCommands(bench.emulator()))
            if (command.startsWith("11;16;2;4;") || command.startsWith("11;48;2;4;"))
                hex += command.mid(10).toLatin1();
        return QByteArray::fromHex(hex);
    }
    QByteArray image() { return QByteArray::fromHex(emulator().registerText(16, 2) + emulator().registerText(48, 2)); }
    void setImageBytes(int offset, const QByteArray& bytes) { emulator().setRegister(16 + offset, 2, bytes.toHex()); }
};

// One kind of edit before a write, and what it must change in the written image.
struct Edit
{
    const char* name;
    std::function<void(SettingsPage&)> before;
    std::function<void(SettingsPage&)> edit;
    std::function<void(QByteArray&)> expect;
};

const std::vector<Edit>& edits()
{
    static const std::vector<Edit> table = {
        {"no edit", nullptr, [](SettingsPage&) {}, [](QByteArray&) {}},
        {"every field edited", nullptr,
         [](SettingsPage& p) {
             p.find<QSpinBox>("spinBox_numberOfAveraging")->setValue(7);
             p.list("comboBox_zummer")->setCurrentIndex(0);
             p.number("doubleSpinBox_HiP")->setValue(2000.5);
             // The unit changes what the limits show, not what they are.
             p.list("comboBox_unitVerifiablePD")->setCurrentIndex(2);
             QLineEdit* serial = p.find<QLineEdit>("lineEdit_idFirstDatchic");
             serial->selectAll();
             QTest::keyClicks(serial, "42");
             p.list("comboBox_brightness")->setCurrentIndex(1);
             p.find<QSpinBox>("spinBox_alarmActivationK")->setValue(50);
         },
         [](QByteArray& i) {
             i[3] = 7;
             i[7] = 0;
             i[10] = 7;
             i.replace(16, 4, floatBytes(2000.5f));
             i.replace(32, 4, QByteArray("\x2A\0\0\0", 4));
             i[48] = 37;
             i[49] = 50;
         }},
        // A byte outside its list, an unknown display code, a serial the field cannot hold.
        {"values the form cannot show",
         [](SettingsPage& p) {
             p.setImageBytes(7, QByteArray(1, 9));
             p.setImageBytes(48, QByteArray(1, 99));
             p.setImageBytes(32, QByteArray("\x4E\x61\xBC\x00", 4));
         },
         [](SettingsPage&) {}, [](QByteArray&) {}},
        {"standard settings", nullptr, [](SettingsPage& p) { p.button("pushButton_standart")->click(); },
         [](QByteArray& i) {
             i[3] = 1; i[4] = 3; i[5] = 0; i[6] = 0; i[7] = 1; i[8] = 1; i[10] = 6; i[11] = 1;
             i.replace(16, 8, QByteArray(8, '\0'));
             i.replace(32, 4, QByteArray(4, '\0'));
             i[48] = char(112); i[49] = 75;
         }},
    };
    return table;
}

}  // namespace

class TestDeviceSettingsTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void readFillsTheFormPerModel_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("ЗФН-020") << 70;
        QTest::newRow("ЗФН-030") << 90;
        QTest::newRow("ЛМВ-160") << 91;
    }

    void readFillsTheFormPerModel()
    {
        QFETCH(int, type);
        SettingsPage page(type);
        page.emulator().setRegister(274, 0, "1");
        page.emulator().setRegister(67, 2, "01");
        QVERIFY(!page.button("pushButton_write")->isEnabled());
        QVERIFY(page.read());

        QCOMPARE(QStringList({page.list("comboBox_unitVerifiablePD")->currentText(),
                              page.list("comboBox_brightness")->currentText(), page.list("comboBox_unitPD")->currentText(),
                              page.find<QLineEdit>("lineEdit_idFirstDatchic")->text()}),
                 QStringList({"кПа", "высокая", "кПа", "1234567"}));
        QCOMPARE(page.number("doubleSpinBox_HiP")->value(), 1600.0);
        QCOMPARE(page.number("doubleSpinBox_etalonLow")->value(), -100.0);
        QVERIFY(page.button("pushButton_u24on")->isChecked() && !page.button("pushButton_u24off")->isChecked());
        QVERIFY(page.button("pushButton_hartOff")->isChecked());
        QVERIFY(page.button("pushButton_write")->isEnabled());
        QCOMPARE(page.find<QGroupBox>("groupBox_deviceParametrs")->title(), QString("Параметры ") + g_device->deviceName());
        const bool moduleShown = type == 90;
        QCOMPARE(!page.find<QWidget>("widget_hider_currentPD")->isHidden(), moduleShown);
        QCOMPARE(emulatorCommands(page.emulator()).contains("10;67;2;1"), moduleShown);
        if (moduleShown)
            QCOMPARE(page.list("comboBox_currentPD")->currentText(), QString("внешний"));
        // The module choice is written only where it is shown.
        page.list("comboBox_currentPD")->setCurrentIndex(0);
        page.emulator().clearRequests();
        QVERIFY(page.runOperation("pushButton_write", 0));
        const QString written = emulatorCommands(page.emulator()).join('|');
        QCOMPARE(written.contains("11;67"), moduleShown);
        QCOMPARE(written.contains("11;67;2;1;0"), moduleShown);

        // A failed read leaves the form empty and nothing to write.
        page.emulator().setStatusReply("10;48", 2);
        QVERIFY(page.read());
        QCOMPARE(page.list("comboBox_unitVerifiablePD")->currentIndex(), -1);
        QCOMPARE(page.number("doubleSpinBox_HiP")->value(), 0.0);
        QVERIFY(!page.button("pushButton_write")->isEnabled());
    }

    void referenceUnits_data()
    {
        QTest::addColumn<int>("code");
        for (int code : {4, 5, 15, 16})
            QTest::addRow("code %d", code) << code;
    }

    // Codes 5 to 15 name the unit and give the limits in it; any other shows no unit and kPa.
    void referenceUnits()
    {
        QFETCH(int, code);
        SettingsPage page;
        page.emulator().setRegister(262, 0, QByteArray::number(code));
        QVERIFY(page.read());
        const int unit = code - 5;
        const bool known = unit >= 0 && unit <= 10;
        QCOMPARE(page.list("comboBox_unitPD")->currentText(), known ? TextDiscription::lstUnits.at(unit) : QString());
        const double factor = known ? PressureUnits::kpaPerUnit(unit) : 1.0;
        const double expected = qBound(-100000.0, 2500.0 / factor, 100000.0);
        QVERIFY2(qAbs(page.number("doubleSpinBox_etalonHi")->value() - expected) < 1e-5, qPrintable(QString::number(expected)));
    }

    void unitChangeConvertsOnlyOperatorChanges()
    {
        SettingsPage page;
        page.setImageBytes(10, QByteArray(1, 13));
        page.setImageBytes(16, floatBytes(1600.0f));
        QVERIFY(page.read());
        QCOMPARE(page.list("comboBox_unitVerifiablePD")->currentText(), QString("бар"));
        QCOMPARE(page.number("doubleSpinBox_HiP")->value(), 16.0);

        page.list("comboBox_unitVerifiablePD")->setCurrentIndex(2);
        QCOMPARE(page.number("doubleSpinBox_HiP")->value(), 1.6);
        page.list("comboBox_unitVerifiablePD")->setCurrentIndex(1);
        QCOMPARE(page.number("doubleSpinBox_HiP")->value(), 1600.0);

        // An unknown sensor unit shows no unit and its limits in kPa, from which a chosen unit converts.
        page.setImageBytes(10, QByteArray(1, 30));
        QVERIFY(page.read());
        QCOMPARE(page.list("comboBox_unitVerifiablePD")->currentIndex(), -1);
        QCOMPARE(page.number("doubleSpinBox_HiP")->value(), 1600.0);
        page.list("comboBox_unitVerifiablePD")->setCurrentIndex(2);
        QCOMPARE(page.number("doubleSpinBox_HiP")->value(), 1.6);
    }

    void writesWhatWasEdited_data()
    {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < edits().size(); ++i)
            QTest::newRow(edits()[i].name) << int(i);
    }

    void writesWhatWasEdited()
    {
        QFETCH(int, row);
        const Edit& edit = edits()[size_t(row)];
        SettingsPage page;
        if (edit.before)
            edit.before(page);
        QVERIFY(page.read());
        QByteArray expected = page.image();
        edit.edit(page);
        page.emulator().clearRequests();
        QVERIFY(page.runOperation("pushButton_write", 0));
        edit.expect(expected);
        QCOMPARE(page.writtenImage().toHex(), expected.toHex());
        QCOMPARE(emulatorCommands(page.emulator()).at(2), QString("11;49;0;1;0"));
        QCOMPARE(page.image().toHex(), expected.toHex());
    }

    void switchesMirrorTheCalibrator()
    {
        SettingsPage page;
        QVERIFY(page.read());
        page.emulator().clearRequests();
        QVERIFY(page.runOperation("pushButton_u24on", 4));
        QCOMPARE(emulatorCommands(page.emulator()), QStringList({"11;274;0;1;1", "10;274;0;1"}));
        QVERIFY(page.button("pushButton_u24on")->isChecked());
        QVERIFY(!page.button("pushButton_u24off")->isChecked());

        page.emulator().clearRequests();
        page.button("pushButton_u24on")->click();
        QVERIFY(page.button("pushButton_u24on")->isChecked());
        QTest::qWait(50);
        QCOMPARE(page.emulator().requestCount(), 0);

        // The calibrator refuses to switch the modem on: the buttons keep showing it off.
        page.emulator().setStatusReply("11;275", 4);
        QVERIFY(page.runOperation("pushButton_hartOn", 5));
        QVERIFY(page.button("pushButton_hartOff")->isChecked());
        QVERIFY(!page.button("pushButton_hartOn")->isChecked());

        page.bench.device().releaseDevice();
        page.emulator().clearRequests();
        page.button("pushButton_u24off")->click();
        QVERIFY(page.button("pushButton_u24on")->isChecked());
        QCOMPARE(page.bench.popUps().last(), g_device->deviceName() + " не подключен.");
        QCOMPARE(page.emulator().requestCount(), 0);
    }

    void zeroNeedsConfirmation()
    {
        SettingsPage page;
        QStringList asked;
        bool answer = false;
        answerQuestions([&](const QString& text) {
            asked << text;
            return answer;
        });
        page.emulator().clearRequests();
        page.button("pushButton_setNull")->click();
        QCOMPARE(asked, QStringList({"Установить ноль для ТЖС?"}));
        QTest::qWait(50);
        QCOMPARE(page.emulator().requestCount(), 0);

        answer = true;
        QVERIFY(page.runOperation("pushButton_setNull", 3));
        QCOMPARE(emulatorCommands(page.emulator()), QStringList({"11;2;0;1;0"}));
        QCOMPARE(page.bench.popUps().last(), QString("Ноль ТЖС успешно установлен."));
    }

    void clockReadsWhatWasWritten()
    {
        SettingsPage page;
        page.emulator().setRegister(0, 2, MemoryImage::clockBytes(QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58))).toHex());
        page.button("pushButton_readDateTimeFromDevice")->click();
        QCOMPARE(page.find<QDateEdit>("dateEdit")->date(), QDate(2025, 12, 31));
        // The tests' C locale names the month; it is named in Russian.
        QCOMPARE(page.find<QDateEdit>("dateEdit")->text(), QString("31 дек. 2025"));
        QCOMPARE(page.find<QTimeEdit>("timeEdit")->time(), QTime(23, 59, 58));
        QCOMPARE(emulatorCommands(page.emulator()).mid(1), QStringList({"10;0;2;4", "10;16;2;1"}));

        // Tens digits carry flag bits: hours A3, day 71 and month 92 read as 23 h, the 31st, December.
        page.emulator().setRegister(0, 2, QByteArray::fromHex("80000059A37192").toHex());
        page.button("pushButton_readDateTimeFromDevice")->click();
        QCOMPARE(page.find<QTimeEdit>("timeEdit")->time(), QTime(23, 59, 0));
        QCOMPARE(page.find<QDateEdit>("dateEdit")->date(), QDate(2025, 12, 31));

        page.find<QDateEdit>("dateEdit")->setDate(QDate(2024, 2, 29));
        page.find<QTimeEdit>("timeEdit")->setTime(QTime(12, 0, 0));
        page.emulator().clearRequests();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(emulatorCommands(page.emulator()),
                 QStringList({"11;0;2;4;8000000012290200000000000000000018", "11;0;2;1;0", "11;49;0;1;0"}));
        QCOMPARE(page.bench.popUps(), QStringList({"Дата успешно записана."}));
        QCOMPARE(int(page.bench.device().deviceSettings()->bytes[DeviceSettings::YearByte]), 24);
        page.find<QDateEdit>("dateEdit")->setDate(QDate(2030, 1, 1));
        page.button("pushButton_readDateTimeFromDevice")->click();
        QCOMPARE(page.find<QDateEdit>("dateEdit")->date(), QDate(2024, 2, 29));
        QCOMPARE(page.find<QTimeEdit>("timeEdit")->time(), QTime(12, 0, 0));

        page.emulator().clearRequests();
        page.button("pushButton_writeDateTimeToDeviceCurrent")->click();
        QCOMPARE(page.bench.popUps().last(), QString("Текущая дата успешно записана."));
        QCOMPARE(page.find<QDateEdit>("dateEdit")->date(), QDate::currentDate());
        QCOMPARE(emulatorCommands(page.emulator()).size(), 3);
    }

    void clockWriteRefusals()
    {
        SettingsPage page;
        page.emulator().setStatusReply("11;0;2;4", 3);
        page.emulator().clearRequests();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.bench.popUps().last(), QString("Ошибка записи '$3' !"));
        QCOMPARE(page.emulator().requestCount(), 1);

        page.emulator().clearStatusReplies();
        page.emulator().setStatusReply("11;49", 2);
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.bench.popUps().last(), QString("При записи параметров произошла ошибка!"));

        // An image write that gets no valid reply may still have been taken: byte 0 is cleared once.
        page.emulator().clearStatusReplies();
        page.bench.device().link()->setRetryLimit(0);
        page.bench.device().link()->timing().pieceWaitMs = 50;
        page.bench.device().link()->timing().secondChanceMs = 50;
        page.emulator().setBadCheckReplies(1);
        page.emulator().clearRequests();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.bench.popUps().last(), QString("При получении данных возникла ошибка!"));
        QCOMPARE(emulatorCommands(page.emulator()).mid(1), QStringList({"11;0;2;1;0"}));
    }

    void badClockRepliesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("clock");
        QTest::addColumn<QByteArray>("year");
        QTest::newRow("status") << QByteArray("$2") << QByteArray("25");
        QTest::newRow("short") << QByteArray("8000585923") << QByteArray("25");
        QTest::newRow("not hex") << QByteArray("80005859237G12") << QByteArray("25");
        QTest::newRow("impossible date") << QByteArray("80005859233202") << QByteArray("25");
        QTest::newRow("impossible time") << QByteArray("80006059231202") << QByteArray("25");
        QTest::newRow("year 100") << QByteArray("80005859231202") << QByteArray("100");
        QTest::newRow("year not a number") << QByteArray("80005859231202") << QByteArray("2x");
    }

    void badClockRepliesChangeNothing()
    {
        QFETCH(QByteArray, clock);
        QFETCH(QByteArray, year);
        SettingsPage page;
        page.emulator().setCommandHandler(10, [clock, year](const QStringList& p) {
            return p.join(';') == "0;2;4" ? clock : year;
        });
        const QDate date(2030, 5, 6);
        page.find<QDateEdit>("dateEdit")->setDate(date);
        page.find<QTimeEdit>("timeEdit")->setTime(QTime(1, 2, 3));
        page.button("pushButton_readDateTimeFromDevice")->click();
        QCOMPARE(page.bench.popUps(), QStringList({"При получении данных возникла ошибка!"}));
        QCOMPARE(page.find<QDateEdit>("dateEdit")->date(), date);
        QCOMPARE(page.find<QTimeEdit>("timeEdit")->time(), QTime(1, 2, 3));
    }

    void clockNeedsAFreePort()
    {
        SettingsPage page;
        page.emulator().setValue("1", "100");
        page.emulator().setValue("5", "12");
        QVERIFY(page.bench.device().startPoll());
        page.button("pushButton_readDateTimeFromDevice")->click();
        page.button("pushButton_read")->click();
        QCOMPARE(page.bench.popUps(),
                 QStringList({"Дождитесь окончания текущей операции!", "Дождитесь окончания текущей операции!"}));
        page.bench.device().stopPoll();
        QVERIFY(!emulatorCommands(page.emulator()).join('|').contains("10;"));
        QVERIFY(page.button("pushButton_write")->isEnabled() == false);

        page.bench.device().releaseDevice();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.bench.popUps().last(), g_device->deviceName() + " не подключен!");
    }

    // A connect reads the settings, so the poll knows the module's unit and shows a number.
    void connectGivesANumericReference()
    {
        DeviceTestBench bench;
        MainWindow window;
        window.setStartMode(MainWindow::ApplyModes);
        bench.emulator().setRegister(262, 0, "7");
        bench.emulator().setValue("1", "0.5");
        bench.emulator().setValue("5", "12");
        QVERIFY(bench.connectTo(0));
        QVERIFY(QTest::qWaitFor([&] { return bench.device().portOwner()->isFree() && window.menuBar()->isEnabled(); },
                                waitMs));
        QVERIFY(bench.device().settingsReadSucceeded());
        QueuedSpy updates(&bench.device(), &DeviceZFN::pollUpdateSignal);
        QVERIFY(bench.device().startPoll());
        QVERIFY(updates.wait(waitMs));
        bench.device().stopPoll();
        const ChannelRecord channel = bench.channel();
        QVERIFY(!std::isnan(channel.reference));
        QCOMPARE(channel.rawReference, 0.5);
    }
};

QTEST_MAIN(TestDeviceSettingsTab)
#include "test_device_settings_tab.moc"
