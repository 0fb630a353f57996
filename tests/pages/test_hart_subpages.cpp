#include "HartDeviceTypeNames.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "ParametrPoller.h"
#include "PortOwner.h"
#include "TabHartSpecific.h"
#include "TabHartUCurrentOutput.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QThread>

namespace {

constexpr int ParametrsPage = 1;
constexpr int SpecificPage = 2;
constexpr int CurrentOutputPage = 3;
const QString wrongCharacters = QStringLiteral("Выбранный параметр содержит неверные символы!");
const QString unchanged = QStringLiteral("Конфигурация устройства не была изменена!");
const QString outOfRange = QStringLiteral("Значение выходит за пределы диапазона.");
const char* const write = "pushButton_writeParametrs";
const char* const password = "lineEdit_password";
const char* const byButton = "comboBox_nullPaswordByButton";
const char* const protection = "comboBox_writeProtection";

const struct DeviceVariant
{
    quint16 typeKey;
    QList<const char*> shown;
    QList<const char*> hidden;
    const char* combo;
    int index;
    const char* written;
} variants[] = {
    {hartTypeNoPassword, {}, {password, "comboBox_indicationMode", byButton, protection}, "comboBox_nullPaswordByGercon", 0,
     "10e100"},
    {hartTypeWriteProtection, {protection}, {password, "groupBox_scaleShiftP", byButton}, protection, 0, "000001"},
    {hartTypeButtonZeroing, {password, byButton}, {protection}, byButton, 1, "10e103"},
};

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

    // A unit change carries the range into the new unit, and the write sends unit, then the range
    // in that unit; a number typed again is no change; values outside the tables show empty and
    // refuse or skip the write; a damping reported as NaN shows "-" and any number changes it.
    void parametersPage()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.upperRangeValue = 100.0f; });
        rig.showSubPage(ParametrsPage);
        QCOMPARE(rig.texts({"lineEdit_device_mainValMax", "comboBox_device_measureV1", "lineEdit_secsor_intervalHi",
                            "lineEdit_device_writeProtection"}),
                 QStringList({"100", "кПа", "2500", "Выключена"}));
        QVERIFY(rig.find<QPushButton>(write)->isEnabled());
        rig.find<QComboBox>("comboBox_device_measureV1")->setCurrentText("МПа");
        const QList<const char*> shown = {"lineEdit_device_mainValMax", "lineEdit_device_mainValMin",
                                          "label_measure_device_mainValMax", "lineEdit_secsor_intervalHi",
                                          "label_measure_secsor_intervalHi"};
        QCOMPARE(rig.texts(shown), QStringList({"0.1", "0", "МПа", "2500", "кПа"}));
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({44, 35, 15}));
        QCOMPARE(rig.sentData(44), QByteArray::fromHex("ED"));
        QCOMPARE(rig.sentData(35), QByteArray::fromHex("ED3DCCCCCD00000000"));
        QCOMPARE(rig.texts(shown), QStringList({"0.1", "0", "МПа", "2500", "МПа"}));

        rig.setText("lineEdit_device_demph", "0.50");
        QCOMPARE(rig.refusal(write, unchanged), QString());
        rig.setText("lineEdit_device_demph", "2");
        rig.find<QComboBox>("comboBox_device_functiuon")->setCurrentIndex(1);
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({34, 47, 15}));
        QCOMPARE(rig.sentData(47), QByteArray::fromHex("01"));
        QCOMPARE(rig.run("pushButton_setNull"), QList<int>({43}));
        QTRY_COMPARE(rig.bench.popUps().last(), QString("Ноль установлен."));

        rig.changeState([](HartTransmitterState& s) {
            s.pvUnit = 6;
            s.transferFunction = 2;
            s.writeProtect = 250;
            s.damping = NAN;
        });
        rig.run("pushButton_readParametrs");
        QCOMPARE(rig.texts({"comboBox_device_measureV1", "comboBox_device_functiuon", "lineEdit_device_writeProtection",
                            "label_measure_device_mainValMax", "lineEdit_device_demph"}),
                 QStringList({"", "", "", "", "-"}));
        QCOMPARE(rig.refusal(write, wrongCharacters, "lineEdit_device_demph"), QString());
        rig.setText("lineEdit_device_demph", "0.5");
        QCOMPARE(rig.refusal(write, wrongCharacters, "comboBox_device_measureV1"), QString());
        QCOMPARE(int(rig.device().hartEditedData()->pvUnit), 237);
        rig.find<QComboBox>("comboBox_device_measureV1")->setCurrentText("кПа");
        QCOMPARE(rig.text("lineEdit_device_mainValMax"), QString("0.1"));
        rig.changeState([](HartTransmitterState& s) { s.writeProtect = 0; });
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({44, 34, 15}));
        QCOMPARE(rig.sentData(34), QByteArray::fromHex("3F000000"));
    }

    // Each group follows its own support flag and a write sends only the changed group; the
    // two-point trim against the polled reference pressure, each point advancing only on its
    // acceptance; trim reset and factory restore, each told in a box.
    void specificPage()
    {
        HartSubPageRig rig;
        rig.transmitter().setResponseCode(145, 64);
        rig.bench.emulator().setValue("1", "50.25");
        rig.changeState([](HartTransmitterState& s) {
            s.alarmCurrentLow = 3.5f;
            s.alarmCurrentHigh = 24.0f;
            s.sqrtCutoffThreshold = 0.25f;
        });
        rig.showSubPage(SpecificPage);
        for (const char* group : {"groupBox_outputSingnal", "groupBox_squareDependence", "groupBox_indicationParametrs",
                                  "groupBox_protection", "lineEdit_scaleShiftCurrent"})
            QVERIFY2(rig.find<QWidget>(group)->isEnabled(), group);
        QVERIFY(!rig.find<QLineEdit>("lineEdit_scaleShiftP")->isEnabled());
        QCOMPARE(rig.texts({"lineEdit_password", "comboBox_cutoffEgde", "label_text_scaleShiftMeasure"}),
                 QStringList({"0-0-0-0", "0.25", "(кПа)"}));
        QCOMPARE(rig.refusal(write, unchanged), QString());
        rig.setText("lineEdit_currentErrorValueLo", "3.6");
        rig.setText("lineEdit_scaleShiftCurrent", "0.5");
        QCOMPARE(rig.run(write).mid(0, 3), QList<int>({129, 148, 1}));
        QCOMPARE(rig.bench.popUps().size(), 1);
        QCOMPARE(rig.sentData(129), QByteArray::fromHex("01004066666641C00000"));
        QCOMPARE(rig.texts({"lineEdit_currentErrorValueLo", "lineEdit_scaleShiftCurrent"}), QStringList({"3.6", "0.5"}));
        rig.setText("lineEdit_password", "12");
        QCOMPARE(rig.refusal(write, g_msgWrongFieldData, "lineEdit_password"), QString());
        rig.setText("lineEdit_password", "0123");
        rig.run(write);
        QCOMPARE(rig.sentData(135), QByteArray::fromHex("007B01"));

        QCOMPARE(rig.run("pushButton_trimByTwoPoints"), QList<int>({81, 80}));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgLowPoint);
        QCOMPARE(rig.texts({"label_measure_trimLow", "pushButton_trimByTwoPoints"}), QStringList({"кПа", "Далее"}));
        // A module unit outside the table gives no pressure to insert.
        QTest::qWait(700);
        QVERIFY(!rig.find<QPushButton>("pushButton_setZfnValue")->isEnabled());
        rig.device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 6;
        QTRY_COMPARE(rig.text("label_zfnPvalue"), QString("50.25"));
        QTRY_VERIFY(rig.find<QPushButton>("pushButton_setZfnValue")->isEnabled());
        rig.find<QPushButton>("pushButton_setZfnValue")->click();
        QCOMPARE(rig.text("lineEdit_trimLow"), QString("50.25"));
        rig.transmitter().setResponseCode(82, 9);
        rig.run("pushButton_trimByTwoPoints");
        QVERIFY(rig.find<QLineEdit>("lineEdit_trimLow")->isEnabled());
        rig.transmitter().setResponseCode(82, 0);
        rig.run("pushButton_trimByTwoPoints");
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00010C42490000"));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgHighPoint);
        QVERIFY(rig.find<QLineEdit>("lineEdit_trimHi")->isEnabled());
        rig.setText("lineEdit_trimHi", "900");
        rig.run("pushButton_trimByTwoPoints");
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00020C44610000"));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgDone);
        QCOMPARE(rig.text("pushButton_trimByTwoPoints"), QString("Подстройка"));
        QTest::qWait(100);
        QVERIFY(!rig.tab->specificPage()->pressurePoller()->isRunning());

        const int told = rig.bench.popUps().size();
        QCOMPARE(rig.run("pushButton_trimClear"), QList<int>({83}));
        QCOMPARE(rig.run("pushButton_restoreParametrs").first(), 136);
        // The reset transmitter is found again and its changed flag cleared silently.
        QTRY_COMPARE(rig.bench.popUps().mid(told), QStringList({"Сброс коэффициентов подстройки прошел успешно",
                                                                "Заводские настройки успешно установлены.",
                                                                "HART-устройсво перезагружено."}));
    }

    // Each variant shows its own protection fields and writes what they hold: the no-password type
    // keeps the password it reported; with write protection "off" sends password 0, and the
    // reported one reads as "on".
    void deviceVariants()
    {
        for (const DeviceVariant& variant : variants) {
            HartSubPageRig rig(HartVariant::Family, variant.typeKey);
            rig.changeState([](HartTransmitterState& s) {
                s.menuPassword = 4321;
                s.reedZeroing = 1;
                s.sqrtCutoffThreshold = 0.25f;
            });
            rig.showSubPage(SpecificPage);
            for (const char* name : variant.shown)
                QVERIFY2(rig.find<QWidget>(name)->isVisibleTo(rig.scope), name);
            for (const char* name : variant.hidden)
                QVERIFY2(!rig.find<QWidget>(name)->isVisibleTo(rig.scope), name);
            if (variant.typeKey == hartTypeWriteProtection)
                QCOMPARE(rig.find<QComboBox>("comboBox_writeProtection")->currentIndex(), 1);
            rig.find<QComboBox>(variant.combo)->setCurrentIndex(variant.index);
            rig.run(write);
            QCOMPARE(rig.sentData(135).toHex(), QByteArray(variant.written));
        }
    }

    // Another maker's transmitter is asked nothing device-specific; the page offers nothing to write.
    void aForeignTransmitter()
    {
        HartSubPageRig rig(HartVariant::Foreign);
        rig.showSubPage(SpecificPage);
        QVERIFY(!rig.find<QGroupBox>("groupBox_outputSingnal")->isEnabled());
        QVERIFY(!rig.find<QGroupBox>("groupBox_protection")->isVisibleTo(rig.tab->specificPage()));
        QVERIFY(!rig.find<QGroupBox>("groupBox_trimByTwoPoints")->isVisibleTo(rig.tab->specificPage()));
        QVERIFY(!rig.find<QPushButton>(write)->isEnabled());
        QVERIFY(!rig.find<QPushButton>("pushButton_restoreParametrs")->isEnabled());
    }

    // Only a 4-20 mA output at address 0 may be fixed. A typed current is checked against the
    // output's range; a set current is measured by the calibrator until the transmitter leaves
    // fixed current mode. The low row: fixed 4 mA, the measured current inserted, trimmed by
    // command 45, then the row is idle again; a refused command 40 arms nothing.
    void currentOutputPage()
    {
        HartSubPageRig rig;
        rig.changeState([](HartTransmitterState& s) { s.currentOutputType = 0; });
        rig.showSubPage(CurrentOutputPage);
        auto* page = rig.tab->currentOutputPage();
        QVERIFY(!page->isEnabled());
        QVERIFY(rig.find<QLabel>("label_warn_only_5_20")->isVisible());
        QVERIFY(!rig.find<QLabel>("label_deviceInMultidropMode")->isVisible());
        rig.changeState([](HartTransmitterState& s) { s.currentOutputType = 1; });
        rig.tab->updateTab();
        QTRY_VERIFY(page->isEnabled());

        QCOMPARE(rig.refusal("pushButton_setFixedCurrentMode", "Заначение тока не выбрано!"), QString());
        rig.find<QRadioButton>("radioButton_another")->click();
        for (const char* current : {"0.0", "23.01", "3.49"}) {
            rig.setText("lineEdit_staticValue", current);
            QCOMPARE(rig.refusal("pushButton_setFixedCurrentMode", outOfRange), QString());
        }
        rig.setText("lineEdit_staticValue", "");
        QCOMPARE(rig.refusal("pushButton_setFixedCurrentMode", g_msgWrongFieldData, "lineEdit_staticValue"), QString());
        rig.setText("lineEdit_staticValue", "23");
        QCOMPARE(rig.run("pushButton_setFixedCurrentMode"), QList<int>({40}));
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("41B80000"));
        auto* display = rig.find<QWidget>("widget_zfnCurrent");
        QTRY_VERIFY(display->isVisible());
        QCOMPARE(rig.text("label_zfnCurrent"), QString("23"));
        rig.run("pushButton_unsetFixedCurrentMode");
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("00000000"));
        QTRY_VERIFY(!display->isVisible());
        QVERIFY(!page->currentPoller()->isRunning());
        QVERIFY(!rig.find<QRadioButton>("radioButton_another")->isChecked());
        QVERIFY(rig.device().portOwner()->isFree());

        rig.changeState([](HartTransmitterState& s) { s.dacShift = 0.02; });
        rig.find<QPushButton>("pushButton_setZfnValLo")->click();
        QVERIFY(rig.text("lineEdit_valueLow").isEmpty());
        rig.run("pushButton_setFixedLow");
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("40800000"));
        QVERIFY(rig.find<QPushButton>("pushButton_stopTrimLo")->isVisible());
        QVERIFY(!rig.find<QPushButton>("pushButton_setFixedHi")->isEnabled());
        QTRY_VERIFY(display->isVisible());
        rig.find<QPushButton>("pushButton_setZfnValLo")->click();
        QCOMPARE(rig.text("lineEdit_valueLow"), QString("4.02"));
        QCOMPARE(rig.run("pushButton_trimLo"), QList<int>({45, 40}));
        QCOMPARE(rig.sentData(45), QByteArray::fromHex("4080A3D7"));
        QCOMPARE(rig.sentData(40), QByteArray::fromHex("00000000"));
        QVERIFY(!rig.find<QPushButton>("pushButton_stopTrimLo")->isVisible());
        QVERIFY(rig.find<QPushButton>("pushButton_setFixedLow")->isVisible());
        QVERIFY(!rig.find<QLineEdit>("lineEdit_valueLow")->isEnabled());
        QTRY_VERIFY(!display->isVisible());
        rig.transmitter().setResponseCode(40, 7);
        rig.run("pushButton_setFixedHi");
        QVERIFY(!rig.find<QPushButton>("pushButton_stopTrimHi")->isVisible());
        QVERIFY(!rig.find<QLineEdit>("lineEdit_valueHi")->isEnabled());
        QTest::qWait(100);
        QVERIFY(!page->currentPoller()->isRunning());

        // An address other than 0, read again from the calibrator.
        rig.changeState([](HartTransmitterState& s) { s.pollingAddress = 3; });
        rig.scope = rig.tab->informationPage();
        rig.find<QPushButton>("pushButton_updateAdress")->click();
        rig.scope = page;
        rig.tab->updateTab();
        QTRY_VERIFY(rig.find<QLabel>("label_deviceInMultidropMode")->isVisible());
        QVERIFY(!page->isEnabled());
        QVERIFY(!rig.find<QLabel>("label_warn_only_5_20")->isVisible());
    }

    // Without command 45 the transmitter is trimmed through its output coefficients, which need
    // both measured currents and a read of the present ones.
    void coefficientTrim()
    {
        HartSubPageRig rig(HartVariant::NoCurrentTrim);
        rig.showSubPage(CurrentOutputPage);
        rig.run("pushButton_setFixedLow");
        rig.setText("lineEdit_valueLow", "4.1");
        QCOMPARE(rig.run("pushButton_trimLo"), QList<int>({45}));
        QCOMPARE(rig.bench.popUps().size(), 1);
        rig.setText("lineEdit_valueHi", "19.9");
        rig.run("pushButton_setFixedLow");
        rig.setText("lineEdit_valueLow", "4.1");
        QCOMPARE(rig.run("pushButton_trimLo"), QList<int>({45, 40, 122, 123, 40}));
        QCOMPARE(rig.bench.popUps().size(), 1);
        rig.run("pushButton_setFixedLow");
        rig.setText("lineEdit_valueLow", "23.5");
        QCOMPARE(rig.refusal("pushButton_trimLo", outOfRange), QString());
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
