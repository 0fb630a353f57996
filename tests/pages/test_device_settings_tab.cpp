#include "BoundedWait.h"
#include "ComboListCheck.h"
#include "DeviceSettings.h"
#include "EmulatorCommands.h"
#include "HartChangeMask.h"
#include "HartDeviceData.h"
#include "HartMaster.h"
#include "HartTextTables.h"
#include "PressureUnits.h"
#include "QuestionAnswers.h"
#include "QuestionTexts.h"
#include "QueuedSpy.h"
#include "SetupWindowRig.h"
#include "TabDeviceConfiguration.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QtEndian>
#include <QtTest>

namespace {

// The settings page of the window on one emulated calibrator.
struct SettingsPage : SetupWindowRig
{
    QueuedSpy finished{&bench.device(), &DeviceZFN::algoritmFinished};

    SettingsPage() { scope = window.findChild<TabDeviceConfiguration*>(); }
    ~SettingsPage() { answerQuestions(nullptr); }

    QComboBox* list(const char* name) const { return find<QComboBox>(name); }
    double number(const char* name) const { return find<QDoubleSpinBox>(name)->value(); }
    QDate date() const { return find<QDateEdit>("dateEdit")->date(); }
    QTime time() const { return find<QTimeEdit>("timeEdit")->time(); }
    void setDateTime(const QDate& date, const QTime& time)
    {
        find<QDateEdit>("dateEdit")->setDate(date);
        find<QTimeEdit>("timeEdit")->setTime(time);
    }
    // Whether a switch's pair of buttons shows the first checked and the second not.
    bool shows(const char* checked, const char* unchecked) const
    {
        return button(checked)->isChecked() && !button(unchecked)->isChecked();
    }

    // A connect reads the settings into the form.
    bool connectAndRead(int type = 70)
    {
        finished.clear();
        return connect(type) && ended(0);
    }
    // Clicks a button that starts an operation and waits until its end has reached the page.
    bool runOperation(const char* name, int operation)
    {
        finished.clear();
        button(name)->click();
        return ended(operation);
    }
    bool ended(int operation)
    {
        return BoundedWait::until([&] {
            return !finished.isEmpty() && finished.last().at(0).toInt() == operation
                   && bench.device().portOwner()->isFree();
        }, BoundedWait::jobMs) && settled();
    }
    bool read() { return runOperation("pushButton_read", 0); }
    // Writes the form and gives the image as the write requests carried it (registers 16 and 48).
    QByteArray write()
    {
        emulator().clearRequests();
        if (!runOperation("pushButton_write", 0))
            return "not written";
        QByteArray hex;
        for (const QString& command : commands())
            if (command.startsWith("11;16;2;4;") || command.startsWith("11;48;2;4;"))
                hex += command.mid(10).toLatin1();
        return QByteArray::fromHex(hex);
    }
    // Starts a HART operation and waits until it has ended, with its follow-on, and freed the port.
    bool runHart(int algorithm, bool flag, int mask = 0)
    {
        QueuedSpy hartEnded{&bench.device(), &DeviceZFN::sendAlgoritmFinished};
        return bench.device().startHartAlgorithm(algorithm, flag, mask) && BoundedWait::until([&] {
            return !hartEnded.isEmpty() && bench.device().portOwner()->isFree();
        }, BoundedWait::jobMs);
    }
    QByteArray image() { return QByteArray::fromHex(emulator().registerText(16, 2) + emulator().registerText(48, 2)); }
    void setImageBytes(int offset, const QByteArray& bytes) { emulator().setRegister(16 + offset, 2, bytes.toHex()); }
};

// A list of the page as it must read (texts, and the codes its items carry when they carry any),
// and the byte of the settings image that a write of each item sets, with the value it sets.
struct SettingsList
{
    const char* name;
    QStringList texts;
    QList<int> codes;
    int byte;
    QList<int> written;
};

const QStringList offOn = {"выкл.", "вкл."};
const QStringList unitNames = {"Па", "кПа", "МПа", "кг/см2", "кг/м2", "мм рт.ст.", "мм вод.ст.", "мбар", "бар", "АТМ", "psi"};

}  // namespace

class TestDeviceSettingsTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        loadQtRussianAsAtStartUp();
        initHartTextTables();
    }

    void readFillsTheFormPerModel_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("ЗФН-020") << 70;
        QTest::newRow("ЗФН-030") << 90;
        QTest::newRow("ЛМВ-160") << 91;
    }

    // The module choice is shown, and written, only on the model that has one.
    void readFillsTheFormPerModel()
    {
        QFETCH(int, type);
        SettingsPage page;
        page.emulator().setRegister(274, 0, "1");
        page.emulator().setRegister(67, 2, "01");
        QVERIFY(page.connectAndRead(type));

        QCOMPARE(QStringList({page.list("comboBox_unitVerifiablePD")->currentText(),
                              page.list("comboBox_brightness")->currentText(),
                              page.list("comboBox_unitPD")->currentText(),
                              page.find<QLineEdit>("lineEdit_idFirstDatchic")->text()}),
                 QStringList({"кПа", "высокая", "кПа", "1234567"}));
        QCOMPARE(page.number("doubleSpinBox_HiP"), 1600.0);
        QVERIFY(page.shows("pushButton_u24on", "pushButton_u24off"));
        QVERIFY(page.button("pushButton_write")->isEnabled());
        QCOMPARE(page.find<QGroupBox>("groupBox_deviceParametrs")->title(), "Параметры " + g_device->deviceName());
        const bool moduleShown = type == 90;
        QCOMPARE(!page.find<QWidget>("widget_hider_currentPD")->isHidden(), moduleShown);
        QCOMPARE(page.list("comboBox_currentPD")->currentText(), moduleShown ? "внешний" : "внутренний");
        page.list("comboBox_currentPD")->setCurrentIndex(0);
        page.write();
        const QString written = page.commands().join('|');
        QCOMPARE(written.contains("11;67"), moduleShown);
        QCOMPARE(written.contains("11;67;2;1;0"), moduleShown);

        // A failed read leaves the form empty and nothing to write.
        page.emulator().setStatusReply("10;48", 2);
        QVERIFY(page.read());
        QCOMPARE(page.list("comboBox_unitVerifiablePD")->currentIndex(), -1);
        QCOMPARE(page.number("doubleSpinBox_HiP"), 0.0);
        QVERIFY(!page.button("pushButton_write")->isEnabled());
    }

    // A write carries the operator's edits, keeps every byte the form could not show, and the standard
    // settings; the calibrator ends up holding what was written. Reference unit codes 5 to 15 name the
    // unit and give its limits in it; any other shows no unit and kPa.
    void readAndWrite()
    {
        SettingsPage page;
        QVERIFY(page.connectAndRead());
        QByteArray expected = page.image();
        page.find<QSpinBox>("spinBox_numberOfAveraging")->setValue(7);
        page.list("comboBox_zummer")->setCurrentIndex(0);
        page.find<QDoubleSpinBox>("doubleSpinBox_HiP")->setValue(2500);
        // The operator's unit changes what the limits show, not what they are.
        page.list("comboBox_unitVerifiablePD")->setCurrentIndex(2);
        QCOMPARE(page.number("doubleSpinBox_HiP"), 2.5);
        QLineEdit* serial = page.find<QLineEdit>("lineEdit_idFirstDatchic");
        serial->selectAll();
        QTest::keyClicks(serial, "42");
        page.list("comboBox_brightness")->setCurrentIndex(1);
        page.find<QSpinBox>("spinBox_alarmActivationK")->setValue(50);
        expected[3] = 7;
        expected[7] = 0;
        expected[10] = 7;
        expected.replace(16, 4, QByteArray::fromHex("00401C45"));  // 2500.0f
        expected.replace(32, 4, QByteArray("\x2A\0\0\0", 4));
        expected[48] = 37;
        expected[49] = 50;
        QCOMPARE(page.write().toHex(), expected.toHex());
        QCOMPARE(page.image().toHex(), expected.toHex());
        QVERIFY(page.read());
        QCOMPARE(page.list("comboBox_unitVerifiablePD")->currentText(), QString("МПа"));
        QCOMPARE(page.number("doubleSpinBox_HiP"), 2.5);

        // A byte outside its list, an unknown unit and display code, a serial the field cannot hold.
        page.setImageBytes(7, QByteArray(1, 9));
        page.setImageBytes(10, QByteArray(1, 30));
        page.setImageBytes(48, QByteArray(1, 99));
        page.setImageBytes(32, QByteArray("\x4E\x61\xBC\x00", 4));
        QVERIFY(page.read());
        QCOMPARE(page.list("comboBox_unitVerifiablePD")->currentIndex(), -1);
        QCOMPARE(page.number("doubleSpinBox_HiP"), 2500.0);
        expected = page.image();
        QCOMPARE(page.write().toHex(), expected.toHex());

        page.button("pushButton_standart")->click();
        expected.replace(3, 6, QByteArray::fromHex("010300000101"));
        expected.replace(10, 2, QByteArray::fromHex("0601"));
        expected.replace(16, 8, QByteArray(8, '\0'));
        expected.replace(32, 4, QByteArray(4, '\0'));
        expected[48] = char(112);
        expected[49] = 75;
        QCOMPARE(page.write().toHex(), expected.toHex());

        for (int code : {4, 5, 15, 16}) {
            page.emulator().setRegister(262, 0, QByteArray::number(code));
            QVERIFY(page.read());
            const int unit = code - 5;
            const bool known = unit >= 0 && unit <= 10;
            const QString unitName = known ? TextDiscription::lstUnits.at(unit) : QString();
            QCOMPARE(page.list("comboBox_unitPD")->currentText(), unitName);
            const double factor = known ? PressureUnits::kpaPerUnit(unit) : 1.0;
            const double limit = qBound(-100000.0, 2500.0 / factor, 100000.0);
            QVERIFY2(qAbs(page.number("doubleSpinBox_etalonHi") - limit) < 1e-5, qPrintable(QString::number(code)));
        }
    }

    void hartOperationRefreshesTheForm_data()
    {
        QTest::addColumn<int>("algorithm");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<int>("unitCode");
        QTest::addColumn<float>("lowerKpa");
        QTest::addColumn<float>("upperKpa");
        QTest::newRow("7 unit and range") << 7 << "МПа" << 0.1 << 1.6 << 7 << 100.0f << 1600.0f;
        QTest::newRow("11 factory settings") << 11 << "кПа" << 0.0 << 1000.0 << 6 << 0.0f << 1000.0f;
    }

    // A HART operation that gave the calibrator the transmitter's unit and range shows them on the
    // page, and the page's next write keeps them.
    void hartOperationRefreshesTheForm()
    {
        QFETCH(int, algorithm);
        QFETCH(QString, unit);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(int, unitCode);
        QFETCH(float, lowerKpa);
        QFETCH(float, upperKpa);
        SettingsPage page;
        page.emulator().attachHartTransmitter();
        page.emulator().setRegister(275, 0, "1");
        QVERIFY(page.connectAndRead());
        QCOMPARE(page.number("doubleSpinBox_HiP"), 1600.0);
        DeviceZFN& device = page.bench.device();
        device.hartMaster()->timing().factoryResetPauseMs = 10;
        QVERIFY(device.checkHartConnection(false));
        if (algorithm == 7) {
            QVERIFY(page.runHart(6, false));
            HartDeviceData& staged = *device.hartEditedData();
            staged = *device.hartData();
            staged.pvUnit = 237;
            staged.upperRangeValue = 1.6f;
            staged.lowerRangeValue = 0.1f;
            QVERIFY(page.runHart(7, false, HartChangeMask::PvUnit | HartChangeMask::Range));
        } else {
            QVERIFY(page.runHart(9, true));
            QVERIFY(page.runHart(11, true));
        }
        const QByteArray held = page.image();
        QCOMPARE(int(held.at(10)), unitCode);
        QCOMPARE(qFromLittleEndian<float>(held.constData() + 20), lowerKpa);
        QCOMPARE(qFromLittleEndian<float>(held.constData() + 16), upperKpa);

        QTRY_COMPARE_WITH_TIMEOUT(page.list("comboBox_unitVerifiablePD")->currentText(), unit, BoundedWait::stepMs);
        QCOMPARE(page.number("doubleSpinBox_LoP"), lower);
        QCOMPARE(page.number("doubleSpinBox_HiP"), upper);
        page.reset();
        QCOMPARE(page.write().toHex(), held.toHex());
        QVERIFY(page.popUps().isEmpty());
    }

    // An emptied serial number is no number: the write is refused at the field and sends nothing.
    void emptiedSerialIsRefused()
    {
        SettingsPage page;
        QVERIFY(page.connectAndRead());
        const QByteArray held = page.image();
        QLineEdit* serial = page.find<QLineEdit>("lineEdit_idFirstDatchic");
        serial->selectAll();
        QTest::keyClick(serial, Qt::Key_Backspace);
        page.reset();
        page.button("pushButton_write")->click();
        QCOMPARE(page.popUps(), QStringList({"В выбранном поле содержатся неверные данные"}));
        QCOMPARE(page.window.focusWidget(), serial);
        QVERIFY(page.bench.device().portOwner()->isFree());
        QCOMPARE(page.bench.device().deviceSettings()->u32At(DeviceSettings::VerifiedSerialByte), 1234567u);

        QTest::keyClicks(serial, "0");
        QCOMPARE(page.write().toHex(), held.left(32).append(QByteArray(4, '\0')).append(held.mid(36)).toHex());
    }

    // Every spin box of the settings steps up when its arrow is clicked where it is drawn, and keeps
    // the width the page's fields share.
    void spinBoxArrowsStep()
    {
        SettingsPage page;
        page.window.show();
        requireChild<QTabWidget>(&page.window, "tabDeviceConfig")
            ->setCurrentWidget(requireChild<QWidget>(&page.window, "tabDevice"));
        QVERIFY(QTest::qWaitForWindowExposed(&page.window));
        const QList<QAbstractSpinBox*> spins =
            page.find<QGroupBox>("groupBox_deviceParametrs")->findChildren<QAbstractSpinBox*>();
        QCOMPARE(spins.size(), 5);
        for (QAbstractSpinBox* spin : spins) {
            QCOMPARE(spin->width(), page.list("comboBox_zummer")->width());
            QStyleOptionSpinBox option;
            option.initFrom(spin);
            option.frame = spin->hasFrame();
            option.buttonSymbols = spin->buttonSymbols();
            option.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp
                                 | QStyle::SC_SpinBoxDown;
            const QPoint arrow =
                spin->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, spin).center();
            QWidget* under = spin->childAt(arrow) ? spin->childAt(arrow) : spin;
            const double before = spin->property("value").toDouble();
            QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(spin, arrow));
            QVERIFY2(spin->property("value").toDouble() == before + spin->property("singleStep").toDouble(),
                     qPrintable(spin->objectName()));
        }
    }

    // The switch buttons show what the calibrator holds, and zero is set only when confirmed.
    void switchesAndZero()
    {
        SettingsPage page;
        QVERIFY(page.connectAndRead());
        QVERIFY(page.runOperation("pushButton_u24on", 4));
        QVERIFY(page.shows("pushButton_u24on", "pushButton_u24off"));
        page.emulator().clearRequests();
        page.button("pushButton_u24on")->click();
        QVERIFY(page.shows("pushButton_u24on", "pushButton_u24off"));
        QVERIFY(page.bench.device().portOwner()->isFree());
        QCOMPARE(page.emulator().requestCount(), 0);

        // The calibrator refuses to switch the modem on: the buttons keep showing it off.
        page.emulator().setStatusReply("11;275", 4);
        QVERIFY(page.runOperation("pushButton_hartOn", 5));
        QVERIFY(page.shows("pushButton_hartOff", "pushButton_hartOn"));

        QStringList asked;
        bool answer = false;
        answerQuestions([&](const QMessageBox& box) {
            asked << box.text() + ' ' + buttonTexts(box);
            return answer;
        });
        page.emulator().clearRequests();
        page.button("pushButton_setNull")->click();
        QCOMPARE(asked, QStringList({"Установить ноль для ТЖС? Да | Отмена"}));
        QVERIFY(page.bench.device().portOwner()->isFree());
        QCOMPARE(page.emulator().requestCount(), 0);
        answer = true;
        QVERIFY(page.runOperation("pushButton_setNull", 3));
        QCOMPARE(page.popUps().last(), QString("Ноль ТЖС успешно установлен."));

        page.bench.device().releaseDevice();
        page.emulator().clearRequests();
        page.button("pushButton_u24off")->click();
        QVERIFY(page.shows("pushButton_u24on", "pushButton_u24off"));
        QCOMPARE(page.popUps().last(), g_device->deviceName() + " не подключен.");
        QCOMPARE(page.emulator().requestCount(), 0);
    }

    // The clock as the operator reads and writes it, and every way an exchange of it can fail.
    void clock()
    {
        SettingsPage page;
        QVERIFY(page.connect());
        // Tens digits carry flag bits: hours A3, day 71 and month 92 read as 23 h, the 31st, December.
        page.emulator().setRegister(0, 2, "80005859A37192");
        page.button("pushButton_readDateTimeFromDevice")->click();
        QCOMPARE(page.time(), QTime(23, 59, 58));
        QCOMPARE(page.date(), QDate(2025, 12, 31));
        // The tests' C locale names the month; it is named in Russian.
        QCOMPARE(page.find<QDateEdit>("dateEdit")->text(), QString("31 дек. 2025"));

        // The day byte carries the year modulo 4; the year also goes into the settings block.
        page.setDateTime(QDate(2027, 2, 28), QTime(12, 0, 0));
        page.emulator().clearRequests();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.commands(),
                 QStringList({"11;0;2;4;8000000012E8020000000000000000001B", "11;0;2;1;0", "11;49;0;1;0"}));
        QCOMPARE(page.popUps(), QStringList({"Дата успешно записана."}));
        QCOMPARE(int(page.bench.device().deviceSettings()->bytes[DeviceSettings::YearByte]), 27);
        page.button("pushButton_writeDateTimeToDeviceCurrent")->click();
        QCOMPARE(page.popUps().last(), QString("Текущая дата успешно записана."));
        QCOMPARE(page.date(), QDate::currentDate());

        // A reply that is no possible date and time changes neither field.
        const QList<QPair<QByteArray, QByteArray>> badReplies{
            {"$2", "25"}, {"8000585923", "25"}, {"80005859237G12", "25"}, {"80005859233202", "25"},
            {"80006059231202", "25"}, {"80005859231202", "100"}, {"80005859231202", "2x"}};
        page.setDateTime(QDate(2030, 5, 6), QTime(1, 2, 3));
        for (const auto& reply : badReplies) {
            page.emulator().setCommandHandler(10, [reply](const QStringList& parameters) {
                return parameters.join(';') == "0;2;4" ? reply.first : reply.second;
            });
            page.button("pushButton_readDateTimeFromDevice")->click();
            QVERIFY2(page.popUps().last() == "При получении данных возникла ошибка!", reply.first);
            QCOMPARE(page.date(), QDate(2030, 5, 6));
            QCOMPARE(page.time(), QTime(1, 2, 3));
        }

        const int popUpsBefore = page.popUps().size();
        page.emulator().setStatusReply("11;0;2;4", 3);
        page.emulator().clearRequests();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.emulator().requestCount(), 1);
        page.emulator().clearStatusReplies();
        page.emulator().setStatusReply("11;49", 2);
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.popUps().mid(popUpsBefore),
                 QStringList({"Ошибка записи '$3' !", "При записи параметров произошла ошибка!"}));

        // An image write that gets no valid reply may still have been taken: byte 0 is cleared once.
        // Short waits for the rest of a garbled frame, and no retry; the poll that follows gets the
        // link's own again, so its outcome does not hang on how fast a loaded machine passes replies on.
        CalibratorLink* link = page.bench.device().link();
        const CalibratorLink::Timing timing = link->timing();
        const int retries = link->retryLimit();
        page.emulator().clearStatusReplies();
        link->setRetryLimit(0);
        link->timing().pieceWaitMs = 50;
        link->timing().secondChanceMs = 50;
        page.emulator().setBadCheckReplies(1);
        page.emulator().clearRequests();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.popUps().last(), QString("При получении данных возникла ошибка!"));
        QCOMPARE(page.commands().mid(1), QStringList({"11;0;2;1;0"}));
        link->timing() = timing;
        link->setRetryLimit(retries);

        // The clock waits while the poller holds the port; without a connection it says so.
        page.emulator().setValue("1", "100");
        page.emulator().setValue("5", "12");
        QVERIFY(page.bench.device().startPoll());
        page.button("pushButton_readDateTimeFromDevice")->click();
        page.bench.device().stopPoll();
        QCOMPARE(page.popUps().last(), QString("Дождитесь окончания текущей операции!"));
        page.bench.device().releaseDevice();
        page.button("pushButton_writeDateTimeToDevice")->click();
        QCOMPARE(page.popUps().last(), g_device->deviceName() + " не подключен!");
    }
    // Every list of the page item by item; every choice written once, into its byte of the image
    // (the module in use into its own register), and shown again by the read that follows.
    void listsAndTheirWrites()
    {
        SettingsPage page;
        QVERIFY(page.connectAndRead(90));
        const QList<SettingsList> written = {
            {"comboBox_voltage", {"24 В", "36 В"}, {}, 5, {0, 1}},
            {"comboBox_relayTest", offOn, {}, 6, {0, 1}},
            {"comboBox_zummer", offOn, {}, 7, {0, 1}},
            {"comboBox_autoTurnOff", offOn, {}, 8, {0, 1}},
            {"comboBox_unitVerifiablePD", unitNames, {}, 10, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
            {"comboBox_outputType", {"0-5 мА", "4-20 мА"}, {}, 11, {0, 1}},
            {"comboBox_brightness", {"низкая", "средняя", "высокая"}, {16, 37, 112}, 48, {16, 37, 112}},
            {"comboBox_currentPD", {"внутренний", "внешний"}, {}, -1, {0, 1}},
        };
        const QList<SettingsList> shownOnly = {
            {"comboBox_unitPD", unitNames, {}, -1, {}},
            {"comboBox_HartOnOff", offOn, {}, -1, {}},
            {"comboBox_hartProtocolOnOff", offOn, {}, -1, {}},
            {"comboBox_contrast", {"7", "8", "9", "10", "11"}, {7, 8, 9, 10, 11}, -1, {}},
        };
        for (const SettingsList& list : written + shownOnly)
            QCOMPARE(comboListMismatch(page.list(list.name), list.name, list.texts, list.codes), QString());

        QList<int> start;
        for (const SettingsList& list : written) {
            start << page.list(list.name)->currentIndex();
            QVERIFY2(start.last() >= 0, list.name);
        }
        for (int step = 1; step <= unitNames.size(); ++step) {
            QList<int> chosen;
            for (int i = 0; i < written.size(); ++i) {
                chosen << (start.at(i) + step) % written.at(i).texts.size();
                page.list(written.at(i).name)->setCurrentIndex(chosen.last());
            }
            const QByteArray image = page.write();
            const QString module = page.commands().filter("11;67;").join('|');
            for (int i = 0; i < written.size(); ++i) {
                const SettingsList& list = written.at(i);
                const int value = list.written.at(chosen.at(i));
                const QString choice = QStringLiteral("%1 \"%2\"").arg(list.name, list.texts.at(chosen.at(i)));
                if (list.byte < 0)
                    QCOMPARE(module, QStringLiteral("11;67;2;1;%1").arg(value));
                else
                    QVERIFY2(image.size() > list.byte && quint8(image.at(list.byte)) == value, qPrintable(choice));
                QVERIFY2(page.list(list.name)->currentIndex() == chosen.at(i), qPrintable(choice + " read back"));
            }
        }
    }
};

QTEST_MAIN(TestDeviceSettingsTab)
#include "test_device_settings_tab.moc"
