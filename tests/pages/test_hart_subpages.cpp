#include "HartDeviceTypeNames.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "ParametrPoller.h"
#include "PortOwner.h"
#include "TabHartSpecific.h"
#include "TabHartUCurrentOutput.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QThread>

namespace {

constexpr int ParametrsPage = 1;
constexpr int SpecificPage = 2;
constexpr int CurrentOutputPage = 3;
const QString wrongCharacters = QStringLiteral("Выбранный параметр содержит неверные символы!");
const QString unchanged = QStringLiteral("Конфигурация устройства не была изменена!");
const QString outOfRange = QStringLiteral("Значение выходит за пределы диапазона.");
const QString wrongData = QStringLiteral("В выбранном поле содержатся неверные данные");

}  // namespace

// The parameters, device-specific and current output pages of the HART tab, each after its
// silent read from the emulated transmitter.
class TestHartSubPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        initHartTextTables();
    }

    // A unit change carries the range into the new unit; the write sends unit, then the range in
    // that unit.
    void unitChangeConvertsAndWrites()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.upperRangeValue = 100.0f; });
        rig.showSubPage(ParametrsPage);
        auto* upper = rig.find<QLineEdit>("lineEdit_device_mainValMax");
        auto* lower = rig.find<QLineEdit>("lineEdit_device_mainValMin");
        auto* unit = rig.find<QComboBox>("comboBox_device_measureV1");
        QCOMPARE(upper->text(), QString("100"));
        QCOMPARE(unit->currentText(), QString("кПа"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_secsor_intervalHi")->text(), QString("2500"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_device_writeProtection")->text(), QString("Выключена"));
        QVERIFY(rig.find<QPushButton>("pushButton_writeParametrs")->isEnabled());

        unit->setCurrentText("МПа");
        QCOMPARE(upper->text(), QString("0.1"));
        QCOMPARE(lower->text(), QString("0"));
        QCOMPARE(rig.find<QLabel>("label_measure_device_mainValMax")->text(), QString("МПа"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_secsor_intervalHi")->text(), QString("2500"));
        QCOMPARE(rig.find<QLabel>("label_measure_secsor_intervalHi")->text(), QString("кПа"));

        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands().mid(0, 3), QList<int>({44, 35, 15}));
        QCOMPARE(rig.sentData(44), QByteArray::fromHex("ED"));
        QCOMPARE(rig.sentData(35), QByteArray::fromHex("ED3DCCCCCD00000000"));
        QCOMPARE(upper->text(), QString("0.1"));
        QCOMPARE(rig.find<QLabel>("label_measure_secsor_intervalHi")->text(), QString("МПа"));
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    void onlyChangesAreWritten_data()
    {
        QTest::addColumn<float>("damping");
        QTest::addColumn<QString>("shownDamping");
        QTest::addColumn<QString>("retypedDamping");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("typedDamping");
        QTest::addColumn<int>("function");
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("damping and function")
            << 0.5f << "0.5" << "0.50" << unchanged << "2" << 1
            << QList<int>({34, 47, 15}) << 47 << QByteArray::fromHex("01");
        // A NaN never equals what is typed: any number is a change.
        QTest::newRow("NaN damping") << float(NAN) << "-" << "-" << wrongCharacters << "0.5"
                                     << -1 << QList<int>({34, 15}) << 34 << QByteArray::fromHex("3F000000");
    }

    // Only what differs from the read is written; the same number typed again is no change, a
    // damping the transmitter reported as NaN shows "-" and must be given.
    void onlyChangesAreWritten()
    {
        QFETCH(float, damping);
        QFETCH(QString, shownDamping);
        QFETCH(QString, retypedDamping);
        QFETCH(QString, refusal);
        QFETCH(QString, typedDamping);
        QFETCH(int, function);
        QFETCH(QList<int>, commands);
        QFETCH(int, command);
        QFETCH(QByteArray, data);
        HartSubPageRig rig;
        rig.changeState([damping](HartTransmitterState& s) { s.damping = damping; });
        rig.showSubPage(ParametrsPage);
        auto* dampingField = rig.find<QLineEdit>("lineEdit_device_demph");
        QCOMPARE(dampingField->text(), shownDamping);
        dampingField->setText(retypedDamping);
        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QCOMPARE(rig.bench.popUps(), QStringList{refusal});

        dampingField->setText(typedDamping);
        if (function != -1)
            rig.find<QComboBox>("comboBox_device_functiuon")->setCurrentIndex(function);
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands().mid(0, commands.size()), commands);
        QCOMPARE(rig.sentData(command), data);
    }

    // Values outside the tables show empty; an empty transfer function is not written, an empty
    // unit and a number that does not parse refuse the write with the focus on the field.
    void valuesOutsideTheTables()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) {
            s.pvUnit = 6;
            s.transferFunction = 2;
            s.writeProtect = 250;
        });
        rig.showSubPage(ParametrsPage);
        auto* unit = rig.find<QComboBox>("comboBox_device_measureV1");
        QCOMPARE(unit->currentIndex(), -1);
        QCOMPARE(rig.find<QComboBox>("comboBox_device_functiuon")->currentIndex(), -1);
        QVERIFY(rig.find<QLineEdit>("lineEdit_device_writeProtection")->text().isEmpty());
        QVERIFY(rig.find<QLabel>("label_measure_device_mainValMax")->text().isEmpty());

        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QCOMPARE(rig.bench.popUps(), QStringList{wrongCharacters});
        QCOMPARE(rig.window->focusWidget(), unit);

        unit->setCurrentText("кПа");
        QCOMPARE(rig.find<QLineEdit>("lineEdit_device_mainValMax")->text(), QString("1000"));
        auto* damping = rig.find<QLineEdit>("lineEdit_device_demph");
        damping->setText("1.2.3");
        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QCOMPARE(rig.bench.popUps().size(), 2);
        QCOMPARE(rig.window->focusWidget(), damping);
        QTest::qWait(50);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);
        QCOMPARE(rig.device().hartEditedData()->pvUnit, quint8(0));

        damping->setText("0.5");
        rig.changeState([](HartTransmitterState& s) { s.writeProtect = 0; });
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands().mid(0, 2), QList<int>({44, 15}));
    }

    void confirmations_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("zero") << ParametrsPage << "pushButton_setNull" << QList<int>({43})
                              << QStringList{"Ноль установлен."};
        QTest::newRow("trim reset") << SpecificPage << "pushButton_trimClear" << QList<int>({83})
                                    << QStringList{"Сброс коэффициентов подстройки прошел успешно"};
        // The reset transmitter is found again and its changed flag cleared silently; reads follow.
        QTest::newRow("factory restore")
            << SpecificPage << "pushButton_restoreParametrs" << QList<int>({136})
            << QStringList{"Заводские настройки успешно установлены.", "HART-устройсво перезагружено."};
    }

    // Operations whose success is told in a box, asked nothing first; the order of the factory
    // restore is the HART master's.
    void confirmations()
    {
        QFETCH(int, page);
        QFETCH(QString, button);
        QFETCH(QList<int>, commands);
        QFETCH(QStringList, messages);
        HartSubPageRig rig;
        rig.device().hartMaster()->timing().factoryResetPauseMs = 10;
        rig.showSubPage(page);
        QVERIFY(rig.clickAndWait(qPrintable(button)));
        QCOMPARE(rig.transmitter().commands().mid(0, commands.size()), commands);
        QTRY_COMPARE(rig.bench.popUps(), messages);
    }

    // Each group follows its own support flag; a write sends only the changed group, then reads.
    void groupsByTheirSupport()
    {
        HartSubPageRig rig;
        rig.transmitter().setResponseCode(147, 64);
        rig.changeState([](HartTransmitterState& s) {
            s.alarmCurrentLow = 3.5f;
            s.alarmCurrentHigh = 24.0f;
            s.sqrtCutoffThreshold = 0.25f;
        });
        rig.showSubPage(SpecificPage);
        for (const char* group : {"groupBox_outputSingnal", "groupBox_squareDependence", "groupBox_indicationParametrs",
                                  "groupBox_protection"})
            QVERIFY2(rig.find<QGroupBox>(group)->isEnabled(), group);
        QVERIFY(rig.find<QLineEdit>("lineEdit_scaleShiftP")->isEnabled());
        QVERIFY(!rig.find<QLineEdit>("lineEdit_scaleShiftCurrent")->isEnabled());
        QCOMPARE(rig.find<QLineEdit>("lineEdit_password")->text(), QString("0-0-0-0"));
        QCOMPARE(rig.find<QComboBox>("comboBox_cutoffEgde")->currentText(), QString("0.25"));
        QCOMPARE(rig.find<QLabel>("label_text_scaleShiftMeasure")->text(), QString("(кПа)"));

        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QCOMPARE(rig.bench.popUps(), QStringList{unchanged});

        rig.find<QLineEdit>("lineEdit_currentErrorValueLo")->setText("3.6");
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands().mid(0, 2), QList<int>({129, 1}));
        QCOMPARE(rig.sentData(129), QByteArray::fromHex("01004066666641C00000"));
        QCOMPARE(rig.find<QLineEdit>("lineEdit_currentErrorValueLo")->text(), QString("3.6"));

        rig.clearLogs();
        rig.find<QLineEdit>("lineEdit_password")->setText("12");
        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QCOMPARE(rig.bench.popUps().last(), g_msgWrongFieldData);
        QCOMPARE(rig.window->focusWidget(), rig.find<QLineEdit>("lineEdit_password"));
        rig.find<QLineEdit>("lineEdit_password")->setText("0123");
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.sentData(135), QByteArray::fromHex("007B01"));
    }

    // Another maker's transmitter is asked nothing device-specific; the page offers nothing to write.
    void aForeignTransmitter()
    {
        HartSubPageRig rig(HartVariant::Foreign);
        rig.transmitter().clearRequests();
        rig.showSubPage(SpecificPage);
        QVERIFY(!rig.find<QGroupBox>("groupBox_outputSingnal")->isEnabled());
        QVERIFY(!rig.find<QGroupBox>("groupBox_protection")->isVisibleTo(rig.tab->specificPage()));
        QVERIFY(!rig.find<QGroupBox>("groupBox_trimByTwoPoints")->isVisibleTo(rig.tab->specificPage()));
        QVERIFY(!rig.find<QPushButton>("pushButton_writeParametrs")->isEnabled());
        QVERIFY(!rig.find<QPushButton>("pushButton_restoreParametrs")->isEnabled());
    }

    void deviceVariants_data()
    {
        QTest::addColumn<int>("typeKey");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QString>("combo");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("c135");
        const QString password = "lineEdit_password";
        const QString byButton = "comboBox_nullPaswordByButton";
        const QString protection = "comboBox_writeProtection";
        // The no-password type keeps the password it reported.
        QTest::newRow("no password") << int(hartTypeNoPassword) << QStringList{}
                                     << QStringList{password, "comboBox_indicationMode", byButton, protection}
                                     << "comboBox_nullPaswordByGercon" << 0 << QByteArray::fromHex("10E100");
        // "Off" sends password 0, the reported one reads as "on".
        QTest::newRow("write protection") << int(hartTypeWriteProtection) << QStringList{protection}
                                          << QStringList{password, "groupBox_scaleShiftP", byButton} << protection << 0
                                          << QByteArray::fromHex("000001");
        QTest::newRow("button zeroing") << int(hartTypeButtonZeroing) << QStringList{password, byButton}
                                        << QStringList{protection} << byButton << 1 << QByteArray::fromHex("10E103");
    }

    // Each variant shows its own protection fields and writes what they hold.
    void deviceVariants()
    {
        QFETCH(int, typeKey);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        QFETCH(QString, combo);
        QFETCH(int, index);
        QFETCH(QByteArray, c135);
        HartSubPageRig rig(HartVariant::Family, quint16(typeKey));
        rig.changeState([](HartTransmitterState& s) {
            s.menuPassword = 4321;
            s.reedZeroing = 1;
            s.sqrtCutoffThreshold = 0.25f;
        });
        rig.showSubPage(SpecificPage);
        QWidget* page = rig.tab->specificPage();
        for (const QString& name : shown)
            QVERIFY2(rig.find<QWidget>(qPrintable(name))->isVisibleTo(page), qPrintable(name));
        for (const QString& name : hidden)
            QVERIFY2(!rig.find<QWidget>(qPrintable(name))->isVisibleTo(page), qPrintable(name));
        if (typeKey == int(hartTypeWriteProtection))
            QCOMPARE(rig.find<QComboBox>("comboBox_writeProtection")->currentIndex(), 1);
        rig.find<QComboBox>(qPrintable(combo))->setCurrentIndex(index);
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.sentData(135), c135);
    }

    // Two points against the polled reference pressure, each advancing only on its acceptance.
    void twoPointTrim()
    {
        HartSubPageRig rig;
        rig.bench.emulator().setValue("1", "50.25");
        rig.showSubPage(SpecificPage);
        QVERIFY(rig.clickAndWait("pushButton_trimByTwoPoints"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({81, 80}));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgLowPoint);
        QCOMPARE(rig.find<QLabel>("label_measure_trimLow")->text(), QString("кПа"));
        QCOMPARE(rig.find<QPushButton>("pushButton_trimByTwoPoints")->text(), QString("Далее"));
        // A module unit outside the table gives no pressure to insert.
        QTest::qWait(700);
        QVERIFY(!rig.find<QPushButton>("pushButton_setZfnValue")->isEnabled());
        rig.device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 6;
        QTRY_COMPARE(rig.find<QLabel>("label_zfnPvalue")->text(), QString("50.25"));
        QTRY_VERIFY(rig.find<QPushButton>("pushButton_setZfnValue")->isEnabled());
        rig.find<QPushButton>("pushButton_setZfnValue")->click();
        QCOMPARE(rig.find<QLineEdit>("lineEdit_trimLow")->text(), QString("50.25"));

        rig.clearLogs();
        rig.transmitter().setResponseCode(82, 9);
        QVERIFY(rig.clickAndWait("pushButton_trimByTwoPoints"));
        QVERIFY(rig.find<QLineEdit>("lineEdit_trimLow")->isEnabled());
        rig.transmitter().setResponseCode(82, 0);
        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_trimByTwoPoints"));
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00010C42490000"));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgHighPoint);
        QVERIFY(rig.find<QLineEdit>("lineEdit_trimHi")->isEnabled());

        rig.clearLogs();
        rig.find<QLineEdit>("lineEdit_trimHi")->setText("900");
        QVERIFY(rig.clickAndWait("pushButton_trimByTwoPoints"));
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00020C44610000"));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgDone);
        QCOMPARE(rig.find<QPushButton>("pushButton_trimByTwoPoints")->text(), QString("Подстройка"));
        QTest::qWait(100);
        QVERIFY(!rig.tab->specificPage()->pressurePoller()->isRunning());
    }

    // A typed current is checked against the output's range; a set current is measured by the
    // calibrator until the transmitter leaves fixed current mode.
    void fixedCurrentIsMeasured()
    {
        HartSubPageRig rig;
        rig.showSubPage(CurrentOutputPage);
        auto* page = rig.tab->currentOutputPage();
        QVERIFY(page->isEnabled());
        QCOMPARE(rig.find<QRadioButton>("radioButton_value_4")->text(), QString("12.0  мА"));
        QCOMPARE(rig.find<QPushButton>("pushButton_setFixedLow")->text(), QString("  Установить 4 мА  "));

        rig.find<QPushButton>("pushButton_setFixedCurrentMode")->click();
        QCOMPARE(rig.bench.popUps().last(), QString("Заначение тока не выбрано!"));
        rig.find<QRadioButton>("radioButton_another")->click();
        auto* other = rig.find<QLineEdit>("lineEdit_staticValue");
        for (const char* text : {"0.0", "23.01", "3.49"}) {
            other->setText(text);
            rig.find<QPushButton>("pushButton_setFixedCurrentMode")->click();
            QCOMPARE(rig.bench.popUps().last(), outOfRange);
        }
        other->setText("");
        rig.find<QPushButton>("pushButton_setFixedCurrentMode")->click();
        QCOMPARE(rig.bench.popUps().last(), wrongData);
        QCOMPARE(rig.window->focusWidget(), other);
        QTest::qWait(50);
        QCOMPARE(rig.bench.emulator().requestCount(), 0);

        other->setText("23");
        QVERIFY(rig.clickAndWait("pushButton_setFixedCurrentMode"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({40}));
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("41B80000"));
        auto* display = rig.find<QWidget>("widget_zfnCurrent");
        QTRY_VERIFY(display->isVisible());
        QCOMPARE(rig.find<QLabel>("label_zfnCurrent")->text(), QString("23"));

        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_unsetFixedCurrentMode"));
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("00000000"));
        QTRY_VERIFY(!display->isVisible());
        QVERIFY(!page->currentPoller()->isRunning());
        QVERIFY(!rig.find<QRadioButton>("radioButton_another")->isChecked());
        QVERIFY(rig.device().portOwner()->isFree());
    }

    // The low row: fixed 4 mA, the measured current inserted, trimmed by command 45, then the
    // transmitter leaves fixed current mode and the row is idle again.
    void lowPointTrim()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.dacShift = 0.02; });
        rig.showSubPage(CurrentOutputPage);
        auto* value = rig.find<QLineEdit>("lineEdit_valueLow");
        rig.find<QPushButton>("pushButton_setZfnValLo")->click();
        QVERIFY(value->text().isEmpty());
        QVERIFY(rig.clickAndWait("pushButton_setFixedLow"));
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("40800000"));
        QVERIFY(rig.find<QPushButton>("pushButton_stopTrimLo")->isVisible());
        QVERIFY(!rig.find<QPushButton>("pushButton_setFixedHi")->isEnabled());
        QTRY_VERIFY(rig.find<QWidget>("widget_zfnCurrent")->isVisible());
        rig.find<QPushButton>("pushButton_setZfnValLo")->click();
        QCOMPARE(value->text(), QString("4.02"));

        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_trimLo"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({45, 40}));
        QCOMPARE(rig.sentData(45), QByteArray::fromHex("4080A3D7"));
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("00000000"));
        QVERIFY(!rig.find<QPushButton>("pushButton_stopTrimLo")->isVisible());
        QVERIFY(rig.find<QPushButton>("pushButton_setFixedLow")->isVisible());
        QVERIFY(!value->isEnabled());
        QTRY_VERIFY(!rig.find<QWidget>("widget_zfnCurrent")->isVisible());

        // A refused command 40 arms nothing: no current is measured and the row is idle.
        rig.transmitter().setResponseCode(40, 7);
        QVERIFY(rig.clickAndWait("pushButton_setFixedHi"));
        QVERIFY(!rig.find<QPushButton>("pushButton_stopTrimHi")->isVisible());
        QVERIFY(!rig.find<QLineEdit>("lineEdit_valueHi")->isEnabled());
        QTest::qWait(100);
        QVERIFY(!rig.tab->currentOutputPage()->currentPoller()->isRunning());
    }

    // Without command 45 the transmitter is trimmed through its output coefficients, which need
    // both measured currents and a read of the present ones.
    void coefficientTrim()
    {
        HartSubPageRig rig(HartVariant::NoCurrentTrim);
        rig.showSubPage(CurrentOutputPage);
        QVERIFY(rig.clickAndWait("pushButton_setFixedLow"));
        rig.find<QLineEdit>("lineEdit_valueLow")->setText("4.1");
        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_trimLo"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({45}));

        QCOMPARE(rig.bench.popUps().size(), 1);

        rig.find<QLineEdit>("lineEdit_valueHi")->setText("19.9");
        QVERIFY(rig.clickAndWait("pushButton_setFixedLow"));
        rig.find<QLineEdit>("lineEdit_valueLow")->setText("4.1");
        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_trimLo"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({45, 40, 122, 123, 40}));
        QCOMPARE(rig.bench.popUps().size(), 1);

        QVERIFY(rig.clickAndWait("pushButton_setFixedLow"));
        rig.find<QLineEdit>("lineEdit_valueLow")->setText("23.5");
        rig.find<QPushButton>("pushButton_trimLo")->click();
        QCOMPARE(rig.bench.popUps().last(), outOfRange);
    }

    void addressAndOutputType()
    {
        {
            HartSubPageRig rig;
            rig.changeState([](HartTransmitterState& s) { s.pollingAddress = 3; });
            rig.showSubPage(CurrentOutputPage);
            QVERIFY(!rig.tab->currentOutputPage()->isEnabled());
            QVERIFY(rig.find<QLabel>("label_deviceInMultidropMode")->isVisible());
            QVERIFY(!rig.find<QLabel>("label_warn_only_5_20")->isVisible());
        }
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.currentOutputType = 0; });
        rig.showSubPage(CurrentOutputPage);
        QVERIFY(!rig.tab->currentOutputPage()->isEnabled());
        QVERIFY(rig.find<QLabel>("label_warn_only_5_20")->isVisible());
        QVERIFY(!rig.find<QLabel>("label_deviceInMultidropMode")->isVisible());
    }

    // A poll slot that asked to stop still holds the port until its loop has left.
    void stopAfterRequestStopWaitsForThePort()
    {
        DeviceTestBench bench;
        ParametrPoller poller;
        std::atomic<bool> entered{false};
        poller.connectPollSignal(&poller, [&] {
            poller.requestStop();
            entered = true;
            QThread::msleep(200);
        });
        poller.start();
        QTRY_VERIFY(entered);
        poller.stop();
        QVERIFY(!poller.isRunning());
        QVERIFY(bench.device().portOwner()->isFree());
    }
};

QTEST_MAIN(TestHartSubPages)
#include "test_hart_subpages.moc"
