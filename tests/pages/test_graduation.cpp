#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "GraduationMenu.h"
#include "PollController.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

const QString refusal = QStringLiteral("Дождитесь окончания текущей операции!");
const QString readError = QStringLiteral("Ошибка чтения!");
const QString writeError = QStringLiteral("Ошибка записи!");
const QString factoryReadError = QStringLiteral("При чтении параметров произошла ошибка");
const QString badFactoryNumber = QStringLiteral("Заводской номер введен некорректно!");

// A connected emulated calibrator and the graduation pages on it, editable and with the factory page.
// Pop-ups are counted from the start of each test function.
struct Rig
{
    DeviceTestBench bench;
    GraduationMenu menu;
    int popUpsBefore = 0;

    Rig()
    {
        if (!bench.connectTo(0))
            qFatal("the emulated calibrator did not connect");
        menu.setEditable(true);
        menu.setFactory(true);
    }

    CalibratorEmulator& emulator() { return bench.emulator(); }
    QLineEdit* edit(const char* name) const { return requireChild<QLineEdit>(&menu, name); }
    QPushButton* button(const char* name) const { return requireChild<QPushButton>(&menu, name); }
    QStringList popUps() const { return bench.popUps().mid(popUpsBefore); }

    void reset()
    {
        emulator().clearRequests();
        emulator().clearStatusReplies();
        popUpsBefore = bench.popUps().size();
    }

    // Typed key by key, so the validator sees the text as the user's would be seen.
    void type(const char* field, const QString& text)
    {
        edit(field)->clear();
        QTest::keyClicks(edit(field), text);
    }

    QStringList commands() { return emulatorCommands(emulator()); }

    // Every button that talks to the calibrator.
    QList<QPushButton*> buttons() const
    {
        QList<QPushButton*> list = menu.findChildren<QPushButton*>();
        list.removeOne(button("pushButton_standart"));
        return list;
    }
};

}  // namespace

class TestGraduation : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<Rig> rig;

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        rig = std::make_unique<Rig>();
    }

    void cleanupTestCase() { rig.reset(); }

    void init() { rig->reset(); }

    void writesSendExactTexts_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("request");
        QTest::newRow("comma, upper bound of the minimum")
            << "lineEdit_minValue" << "pushButton_writeMinValue" << "30,0" << "11;2;3;3;30.000000";
        QTest::newRow("single precision on the output")
            << "lineEdit_minValue" << "pushButton_writeMinValue" << "29.123456" << "11;2;3;3;29.123455";
        QTest::newRow("minus zero goes as zero")
            << "lineEdit_minValue" << "pushButton_writeMinValue" << "-0" << "11;2;3;3;0.000000";
        QTest::newRow("upper bound of the maximum")
            << "lineEdit_maxValue" << "pushButton_writeMaxValue" << "35" << "11;6;3;3;35.000000";
        QTest::newRow("lower bound of the shift")
            << "lineEdit_crrentShiftValue" << "pushButton_writeShiftValue" << "0" << "11;10;3;3;0.000000";
        QTest::newRow("upper bound of the shift")
            << "lineEdit_crrentShiftValue" << "pushButton_writeShiftValue" << "25" << "11;10;3;3;25.000000";
        QTest::newRow("typed current")
            << "lineEdit_crrentValue" << "pushButton_setCurrentValue" << "12,5" << "11;45;0;3;12.500000";
        QTest::newRow("upper bound of the current")
            << "lineEdit_crrentValue" << "pushButton_setCurrentValue" << "30" << "11;45;0;3;30.000000";
        QTest::newRow("double precision on the coefficient")
            << "lineEdit_coefficientComputed" << "pushButton_writeData" << "29.123456" << "11;14;3;3;29.123456";
        QTest::newRow("lower bound of the coefficient")
            << "lineEdit_coefficientComputed" << "pushButton_writeData" << "1" << "11;14;3;3;1.000000";
        QTest::newRow("upper bound of the coefficient")
            << "lineEdit_coefficientComputed" << "pushButton_writeData" << "5e2" << "11;14;3;3;500.000000";
        QTest::newRow("minimum set point") << "" << "pushButton_setMinCurrentValue" << "" << "11;43;0;3;0.000000";
        QTest::newRow("maximum set point") << "" << "pushButton_setMaxCurrentValue" << "" << "11;44;0;3;0.000000";
    }

    void writesSendExactTexts()
    {
        QFETCH(QString, field);
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(QString, request);
        if (!field.isEmpty())
            rig->type(qPrintable(field), typed);
        rig->button(qPrintable(button))->click();
        QCOMPARE(rig->commands(), QStringList{request});
        QCOMPARE(rig->popUps(), QStringList());
        const QStringList parts = request.split(';');
        QCOMPARE(rig->emulator().registerText(parts.at(1).toInt(), parts.at(2).toInt()), parts.at(4).toLatin1());
    }

    // Half-typed numbers stay in the field as the user left them, and nothing reaches the register.
    void noBadWrite_data()
    {
        const QString min = "Значение вне допустимого диапазона [0.0, 30.0] !";
        const QString max = "Значение вне допустимого диапазона [0.0, 35.0] !";
        const QString shift = "Значение вне допустимого диапазона [0.0, 25.0] !";
        const QString coefficient = "Значение вне допустимого диапазона [1.0, 500.0] !";
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QList<QStringList> targets{{"lineEdit_minValue", "pushButton_writeMinValue", min},
                                         {"lineEdit_maxValue", "pushButton_writeMaxValue", max},
                                         {"lineEdit_crrentShiftValue", "pushButton_writeShiftValue", shift},
                                         {"lineEdit_crrentValue", "pushButton_setCurrentValue", min},
                                         {"lineEdit_coefficientComputed", "pushButton_writeData", coefficient}};
        for (const QStringList& target : targets)
            for (const QString typed : {"", "-", ".", "e", "1e-", "-1", "1e39"})
                QTest::addRow("%s '%s'", qPrintable(target.at(0)), qPrintable(typed))
                    << target.at(0) << target.at(1) << typed << target.at(2);
        QTest::newRow("just above the minimum") << "lineEdit_minValue" << "pushButton_writeMinValue" << "30.01" << min;
        QTest::newRow("just above the maximum") << "lineEdit_maxValue" << "pushButton_writeMaxValue" << "35.01" << max;
        QTest::newRow("just above the shift")
            << "lineEdit_crrentShiftValue" << "pushButton_writeShiftValue" << "25.01" << shift;
        QTest::newRow("just above the current") << "lineEdit_crrentValue" << "pushButton_setCurrentValue" << "30.01" << min;
        QTest::newRow("just below the coefficient")
            << "lineEdit_coefficientComputed" << "pushButton_writeData" << "0.99" << coefficient;
        QTest::newRow("just above the coefficient")
            << "lineEdit_coefficientComputed" << "pushButton_writeData" << "500.01" << coefficient;
    }

    void noBadWrite()
    {
        QFETCH(QString, field);
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        rig->type(qPrintable(field), typed);
        QCOMPARE(rig->edit(qPrintable(field))->text(), typed);
        rig->button(qPrintable(button))->click();
        QCOMPARE(rig->popUps(), QStringList{message});
        QCOMPARE(rig->commands(), QStringList());
    }

    void writesNotAcknowledged()
    {
        rig->emulator().setStatusReply("11", 1);
        rig->type("lineEdit_minValue", "4");
        rig->button("pushButton_writeMinValue")->click();
        rig->button("pushButton_setMaxCurrentValue")->click();
        rig->type("lineEdit_coefficientComputed", "100");
        rig->button("pushButton_writeData")->click();
        QCOMPARE(rig->popUps(), QStringList({writeError, writeError, writeError}));
        rig->edit("lineEdit_factoryNum")->setText("77");
        rig->button("pushButton_write")->click();
        QTRY_COMPARE(rig->popUps().size(), 4);
        QCOMPARE(rig->popUps().last(), writeError);
        QCOMPARE(rig->edit("lineEdit_factoryNum")->text(), QString("77"));
        QCOMPARE(rig->commands().last(), QString("11;30;3;2;77"));
    }

    void readsShowTheirFormat()
    {
        rig->emulator().setRegister(2, 3, "4.1");
        rig->button("pushButton_readMinValue")->click();
        QCOMPARE(rig->edit("lineEdit_minValue")->text(), QString("4.1"));
        rig->emulator().setRegister(6, 3, "20.0123456");
        rig->button("pushButton_readMaxValue")->click();
        QCOMPARE(rig->edit("lineEdit_maxValue")->text(), QString("20.0123"));

        rig->emulator().setRegister(14, 3, "4.1");
        rig->emulator().setValue("5", "12.345");
        rig->type("lineEdit_etalonCurrent", "10,5");
        rig->button("pushButton_readData")->click();
        QCOMPARE(rig->edit("lineEdit_coefficientReaded")->text(), QString("4.100000"));
        QCOMPARE(rig->edit("lineEdit_valueReaded")->text(), QString("12.345000"));
        QCOMPARE(rig->edit("lineEdit_coefficientComputed")->text(), QString::number(4.1 * 12.345 / 10.5, 'f', 6));
        QCOMPARE(rig->commands(), QStringList({"10;2;3;3", "10;6;3;3", "10;14;3;3", "1;5"}));
        QCOMPARE(rig->popUps(), QStringList());
    }

    // Every keystroke in the reference recomputes; without a usable reference nothing stale remains.
    void coefficientFollowsTheReference()
    {
        rig->edit("lineEdit_coefficientReaded")->setText("100.000000");
        rig->edit("lineEdit_valueReaded")->setText("4.000000");
        QLineEdit* computed = rig->edit("lineEdit_coefficientComputed");
        rig->type("lineEdit_etalonCurrent", "8");
        QCOMPARE(computed->text(), QString("50.000000"));
        QTest::keyClicks(rig->edit("lineEdit_etalonCurrent"), ",");
        QCOMPARE(computed->text(), QString("50.000000"));
        QTest::keyClicks(rig->edit("lineEdit_etalonCurrent"), "5");
        QCOMPARE(computed->text(), QString("47.058824"));
        rig->type("lineEdit_etalonCurrent", "0");
        QVERIFY(computed->text().isEmpty());
        rig->type("lineEdit_etalonCurrent", "-");
        QVERIFY(computed->text().isEmpty());
        QCOMPARE(rig->popUps(), QStringList());

        rig->type("lineEdit_etalonCurrent", "31");
        QCOMPARE(rig->popUps(), QStringList{"Значение выходит за рамки диапазона [0.0, 30.0]!"});
        QCOMPARE(rig->edit("lineEdit_etalonCurrent")->text(), QString("0.0"));
        QVERIFY(computed->text().isEmpty());
        rig->button("pushButton_writeData")->click();
        QCOMPARE(rig->commands(), QStringList());
    }

    void failedReadsKeepTheFields_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("statusPrefix");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("value5");
        QTest::addColumn<QString>("message");
        QTest::newRow("status on the minimum")
            << "pushButton_readMinValue" << "lineEdit_minValue" << "10;2" << 2 << "4.0" << "" << readError;
        QTest::newRow("no number in the shift")
            << "pushButton_readShiftValue" << "lineEdit_crrentShiftValue" << "" << 10 << "0.0x" << "" << readError;
        QTest::newRow("status on the coefficient")
            << "pushButton_readData" << "lineEdit_coefficientReaded" << "10;14" << 14 << "4.0" << "12" << readError;
        QTest::newRow("no number in the coefficient")
            << "pushButton_readData" << "lineEdit_coefficientReaded" << "" << 14 << "abc" << "12" << readError;
        QTest::newRow("no number in the current")
            << "pushButton_readData" << "lineEdit_valueReaded" << "" << 14 << "4.0" << "1x" << readError;
        QTest::newRow("status on the current")
            << "pushButton_readData" << "lineEdit_valueReaded" << "1;5" << 14 << "4.0" << "12" << readError;
        QTest::newRow("status on the factory number")
            << "pushButton_read" << "lineEdit_factoryNum" << "10;30" << 30 << "55" << "" << factoryReadError;
        QTest::newRow("no number in the factory number")
            << "pushButton_read" << "lineEdit_factoryNum" << "" << 30 << "5a" << "" << factoryReadError;
    }

    void failedReadsKeepTheFields()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, statusPrefix);
        QFETCH(int, reg);
        QFETCH(QString, stored);
        QFETCH(QString, value5);
        QFETCH(QString, message);
        rig->emulator().setRegister(reg, 3, stored.toLatin1());
        rig->emulator().setValue("5", value5);
        if (!statusPrefix.isEmpty())
            rig->emulator().setStatusReply(statusPrefix, 2);
        rig->edit(qPrintable(field))->setText("kept");
        rig->button(qPrintable(button))->click();
        QTRY_COMPARE(rig->popUps(), QStringList{message});
        QCOMPARE(rig->edit(qPrintable(field))->text(), QString("kept"));
    }

    // A number is written, then read back into the field; anything else is refused unsent.
    void factoryNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("largest") << "32767" << "32767";
        QTest::newRow("leading zeros dropped") << "00123" << "123";
        QTest::newRow("zero") << "0" << "0";
        for (const char* typed : {"32768", "-1", "abc", "", "12.5"})
            QTest::addRow("refused '%s'", typed) << QString(typed) << QString();
    }

    void factoryNumber()
    {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        rig->edit("lineEdit_factoryNum")->setText(typed);
        rig->button("pushButton_write")->click();
        QTest::qWait(20);
        const bool refused = sent.isEmpty();
        QCOMPARE(rig->popUps(), refused ? QStringList{badFactoryNumber} : QStringList());
        QCOMPARE(rig->commands(), refused ? QStringList() : QStringList({"11;30;3;2;" + sent, "10;30;3;2"}));
        QCOMPARE(rig->edit("lineEdit_factoryNum")->text(), refused ? typed : sent);
    }

    void notConnectedShowsOnlyTheDeviceMessage()
    {
        rig->bench.device().releaseDevice();
        rig->emulator().clearRequests();
        for (QPushButton* button : rig->buttons())
            button->click();
        QTest::qWait(20);
        const QStringList popUps = rig->popUps();
        QCOMPARE(popUps.size(), rig->buttons().size());
        for (const QString& text : popUps)
            QVERIFY2(text.endsWith(" не подключен."), qPrintable(text));
        QCOMPARE(rig->commands(), QStringList());
        QVERIFY(rig->bench.connectTo(0));
    }

    // While the poller holds the port every button refuses at once and sends nothing of its own.
    void everyButtonRefusesWhilePolling()
    {
        DeviceZFN& device = rig->bench.device();
        rig->emulator().setValue("1", "0.1");
        rig->emulator().setValue("5", "12");
        device.pollController()->pollIntervalMs = 50;
        rig->type("lineEdit_minValue", "4");
        rig->type("lineEdit_coefficientComputed", "100");
        rig->edit("lineEdit_factoryNum")->setText("12");
        QVERIFY(device.startPoll());
        QCOMPARE(rig->buttons().size(), 13);
        for (QPushButton* button : rig->buttons()) {
            const int before = rig->bench.popUps().size();
            button->click();
            QVERIFY2(rig->bench.popUps().mid(before) == QStringList{refusal}, qPrintable(button->objectName()));
        }
        device.stopPoll();
        QTRY_VERIFY(device.portOwner()->isFree());
        for (const QString& command : rig->commands())
            QVERIFY2(command == "1;1" || command == "1;5", qPrintable(command));
    }
};

QTEST_MAIN(TestGraduation)
#include "test_graduation.moc"
