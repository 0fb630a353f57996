#include "EmulatorCommands.h"
#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

QScreen* offscreenScreen = nullptr;
constexpr int ParametrsPage = 1;
const QString wrongCharacters = QStringLiteral("Выбранный параметр содержит неверные символы!");
const QString unchanged = QStringLiteral("Конфигурация устройства не была изменена!");

}  // namespace

class TestHartParametrs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        offscreenScreen = QGuiApplication::primaryScreen();
        initChoiceLists();
        initHartTextTables();
    }

    // A unit change carries the range into the new unit; the write sends unit, then the range in
    // that unit, reads back and tells the calibrator its new unit and range.
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
        QCOMPARE(rig.transmitter().commands(), QList<int>({44, 35, 15, 14, 1}));
        QCOMPARE(rig.sentData(44), QByteArray::fromHex("ED"));
        QCOMPARE(rig.sentData(35), QByteArray::fromHex("ED3DCCCCCD00000000"));
        const QStringList calibrator = emulatorCommands(rig.bench.emulator());
        for (const char* reg : {"11;16;", "11;48;", "11;49;"})
            QVERIFY2(!calibrator.filter(QRegularExpression("^" + QString(reg))).isEmpty(), reg);
        QCOMPARE(upper->text(), QString("0.1"));
        QCOMPARE(rig.find<QLabel>("label_measure_secsor_intervalHi")->text(), QString("МПа"));
        QVERIFY(rig.bench.popUps().isEmpty());
    }

    // Only what differs from the read is written; the same number typed again is no change.
    void onlyChangesAreWritten()
    {
        HartSubPageRig rig;
        rig.showSubPage(ParametrsPage);
        rig.find<QLineEdit>("lineEdit_device_demph")->setText("0.5");
        rig.find<QPushButton>("pushButton_writeParametrs")->click();
        QCOMPARE(rig.bench.popUps(), QStringList{unchanged});

        rig.find<QComboBox>("comboBox_device_functiuon")->setCurrentIndex(1);
        rig.find<QLineEdit>("lineEdit_device_demph")->setText("2");
        QVERIFY(rig.clickAndWait("pushButton_writeParametrs"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({34, 47, 15, 14, 1}));
        QCOMPARE(rig.sentData(34), QByteArray::fromHex("40000000"));
        QCOMPARE(rig.sentData(47), QByteArray::fromHex("01"));
        QCOMPARE(rig.find<QComboBox>("comboBox_device_functiuon")->currentIndex(), 1);
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
        QCOMPARE(rig.transmitter().commands(), QList<int>({44, 15, 14, 1}));
    }

    void setZero()
    {
        HartSubPageRig rig;
        rig.showSubPage(ParametrsPage);
        QVERIFY(rig.clickAndWait("pushButton_setNull"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({43}));
        QTRY_COMPARE(rig.bench.popUps(), QStringList{"Ноль установлен."});
    }
};

QTEST_MAIN(TestHartParametrs)
#include "test_hart_parametrs.moc"
