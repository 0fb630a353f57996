#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int ParametrsPage = 1;
constexpr int SpecificPage = 2;
const QString wrongCharacters = QStringLiteral("Выбранный параметр содержит неверные символы!");
const QString unchanged = QStringLiteral("Конфигурация устройства не была изменена!");

}  // namespace

class TestHartParametrs : public QObject
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
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("typedDamping");
        QTest::addColumn<int>("function");
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("damping and function")
            << 0.5f << "0.5" << "0.50" << unchanged << QString() << QString() << "2" << 1
            << QList<int>({34, 47, 15}) << 47 << QByteArray::fromHex("01");
        // A NaN never equals what is typed: any number is a change.
        QTest::newRow("NaN damping") << float(NAN) << "-" << "-" << wrongCharacters << QString() << QString() << "0.5"
                                     << -1 << QList<int>({34, 15}) << 34 << QByteArray::fromHex("3F000000");
        QTest::newRow("range and unit gives mask 9")
            << 0.5f << "0.5" << "0.50" << unchanged << "МПа" << "0.2" << QString() << -1
            << QList<int>({44, 35, 15}) << 35 << QByteArray::fromHex("ED3E4CCCCD00000000");
    }

    // Only what differs from the read is written; the same number typed again is no change, a
    // damping the transmitter reported as NaN shows "-" and must be given.
    void onlyChangesAreWritten()
    {
        QFETCH(float, damping);
        QFETCH(QString, shownDamping);
        QFETCH(QString, retypedDamping);
        QFETCH(QString, refusal);
        QFETCH(QString, unit);
        QFETCH(QString, upper);
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

        if (!unit.isEmpty())
            rig.find<QComboBox>("comboBox_device_measureV1")->setCurrentText(unit);
        if (!upper.isEmpty())
            rig.find<QLineEdit>("lineEdit_device_mainValMax")->setText(upper);
        if (!typedDamping.isEmpty())
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
};

QTEST_MAIN(TestHartParametrs)
#include "test_hart_parametrs.moc"
