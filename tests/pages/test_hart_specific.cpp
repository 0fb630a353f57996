#include "HartDeviceTypeNames.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "ParametrPoller.h"
#include "TabHartSpecific.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int SpecificPage = 2;
const QString unchanged = QStringLiteral("Конфигурация устройства не была изменена!");

}  // namespace

class TestHartSpecific : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        initHartTextTables();
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
        QCOMPARE(rig.sentData(129), QByteArray::fromHex("0100") + hartFloatBytes(3.6f) + QByteArray::fromHex("41C00000"));
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
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00010C") + hartFloatBytes(50.25f));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgHighPoint);
        QVERIFY(rig.find<QLineEdit>("lineEdit_trimHi")->isEnabled());

        rig.clearLogs();
        rig.find<QLineEdit>("lineEdit_trimHi")->setText("900");
        QVERIFY(rig.clickAndWait("pushButton_trimByTwoPoints"));
        QCOMPARE(rig.sentData(82), QByteArray::fromHex("00020C") + hartFloatBytes(900.0f));
        QCOMPARE(rig.bench.popUps().last(), g_trimMsgDone);
        QCOMPARE(rig.find<QPushButton>("pushButton_trimByTwoPoints")->text(), QString("Подстройка"));
        QTest::qWait(100);
        QVERIFY(!rig.tab->specificPage()->pressurePoller()->isRunning());
    }
};

QTEST_MAIN(TestHartSpecific)
#include "test_hart_specific.moc"
