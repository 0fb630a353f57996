#include "PollController.h"
#include "SetupWindowRig.h"
#include "TestEnvironment.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <iterator>
#include <memory>

namespace {

// A field, the button that writes it, and what the page says to a number outside the field's range.
struct Target
{
    const char* field;
    const char* button;
    const char* rangeMessage;
};

const Target minimum{"lineEdit_minValue", "pushButton_writeMinValue",
                     "Значение вне допустимого диапазона [0.0, 30.0] !"};
const Target maximum{"lineEdit_maxValue", "pushButton_writeMaxValue",
                     "Значение вне допустимого диапазона [0.0, 35.0] !"};
const Target shift{"lineEdit_crrentShiftValue", "pushButton_writeShiftValue",
                   "Значение вне допустимого диапазона [0.0, 25.0] !"};
const Target current{"lineEdit_crrentValue", "pushButton_setCurrentValue", minimum.rangeMessage};
const Target coefficient{"lineEdit_coefficientComputed", "pushButton_writeData",
                         "Значение вне допустимого диапазона [1.0, 500.0] !"};
const Target minimumSetPoint{nullptr, "pushButton_setMinCurrentValue", nullptr};
const Target maximumSetPoint{nullptr, "pushButton_setMaxCurrentValue", nullptr};

// A text typed into a field and the request its button sends; none where the range message refuses it.
struct TypedWrite
{
    Target target;
    const char* typed;
    const char* request;
};

const TypedWrite typedWrites[] = {
    {minimum, "30,0", "11;2;3;3;30.000000"},
    // The output registers hold single precision, the input coefficient double.
    {minimum, "29.123456", "11;2;3;3;29.123455"},
    {minimum, "-0", "11;2;3;3;0.000000"},
    {maximum, "35", "11;6;3;3;35.000000"},
    {shift, "25", "11;10;3;3;25.000000"},
    {current, "30", "11;45;0;3;30.000000"},
    {coefficient, "29.123456", "11;14;3;3;29.123456"},
    {coefficient, "1", "11;14;3;3;1.000000"},
    {coefficient, "5e2", "11;14;3;3;500.000000"},
    {minimumSetPoint, "", "11;43;0;3;0.000000"},
    {maximumSetPoint, "", "11;44;0;3;0.000000"},
    {minimum, "30.01", nullptr},
    {minimum, "", nullptr},
    {maximum, "35.01", nullptr},
    {maximum, "-", nullptr},
    {shift, "25.01", nullptr},
    {shift, "-1", nullptr},
    {current, "30.01", nullptr},
    {current, "1e39", nullptr},
    {coefficient, "0.99", nullptr},
    {coefficient, "500.01", nullptr},
    {coefficient, "1e-", nullptr},
};

}  // namespace

// The graduation pages of the window, editable and with the factory page, on one calibrator for all tests.
class TestGraduation : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SetupWindowRig> rig;

    QLineEdit* edit(const char* name) const { return rig->find<QLineEdit>(name); }
    // Typed key by key, so the validator sees the text as the user's would be seen.
    void type(const char* field, const QString& text)
    {
        edit(field)->clear();
        QTest::keyClicks(edit(field), text);
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        rig = std::make_unique<SetupWindowRig>();
        rig->scope = rig->find<QWidget>("GraduationMenu");
        QVERIFY(rig->connect());
    }

    void cleanupTestCase() { rig.reset(); }

    void init() { rig->reset(); }

    void writesOfTypedTexts_data()
    {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < std::size(typedWrites); ++i)
            QTest::addRow("%s '%s'", typedWrites[i].target.button, typedWrites[i].typed) << int(i);
    }

    // A number in range is sent; a refused text stays in the field as the user left it.
    void writesOfTypedTexts()
    {
        QFETCH(int, row);
        const TypedWrite& write = typedWrites[row];
        if (write.target.field)
            type(write.target.field, write.typed);
        rig->button(write.target.button)->click();
        if (!write.request) {
            QCOMPARE(rig->popUps(), QStringList{write.target.rangeMessage});
            QCOMPARE(rig->commands(), QStringList());
            QCOMPARE(edit(write.target.field)->text(), QString(write.typed));
            return;
        }
        QCOMPARE(rig->commands(), QStringList{write.request});
        QCOMPARE(rig->popUps(), QStringList());
    }

    void writesNotAcknowledged()
    {
        rig->emulator().setStatusReply("11", 1);
        type("lineEdit_minValue", "4");
        rig->button("pushButton_writeMinValue")->click();
        edit("lineEdit_factoryNum")->setText("77");
        rig->button("pushButton_write")->click();
        QCOMPARE(rig->popUps(), QStringList({"Ошибка записи!", "Ошибка записи!"}));
        QCOMPARE(edit("lineEdit_factoryNum")->text(), QString("77"));
        QCOMPARE(rig->commands().last(), QString("11;30;3;2;77"));

        // Only "$0" acknowledges a write, not a status that begins with it.
        for (const QByteArray& status : {QByteArray("$00"), QByteArray("$05")}) {
            rig->reset();
            const CommandHandler writes =
                rig->emulator().setCommandHandler(11, [status](const QStringList&) { return status; });
            rig->button("pushButton_writeMinValue")->click();
            rig->emulator().setCommandHandler(11, writes);
            QCOMPARE(rig->popUps(), QStringList{"Ошибка записи!"});
        }
    }

    void reads()
    {
        rig->emulator().setRegister(2, 3, "4.1");
        rig->button("pushButton_readMinValue")->click();
        QCOMPARE(edit("lineEdit_minValue")->text(), QString("4.1"));
        rig->emulator().setRegister(6, 3, "20.0123456");
        rig->button("pushButton_readMaxValue")->click();
        QCOMPARE(edit("lineEdit_maxValue")->text(), QString("20.0123"));

        rig->emulator().setRegister(14, 3, "4.1");
        rig->emulator().setValue("5", "12.345");
        type("lineEdit_etalonCurrent", "10,5");
        rig->button("pushButton_readData")->click();
        QCOMPARE(edit("lineEdit_coefficientReaded")->text(), QString("4.100000"));
        QCOMPARE(edit("lineEdit_valueReaded")->text(), QString("12.345000"));
        QCOMPARE(edit("lineEdit_coefficientComputed")->text(), QString::number(4.1 * 12.345 / 10.5, 'f', 6));
        QCOMPARE(rig->popUps(), QStringList());

        // A register or value that holds no number is reported and leaves its field as it was.
        rig->emulator().setRegister(10, 3, "0.0x");
        rig->emulator().setRegister(14, 3, "abc");
        rig->emulator().setRegister(30, 3, "5a");
        rig->emulator().setValue("5", "1x");
        for (const char* field : {"lineEdit_crrentShiftValue", "lineEdit_coefficientReaded", "lineEdit_valueReaded",
                                  "lineEdit_factoryNum"})
            edit(field)->setText("kept");
        rig->button("pushButton_readShiftValue")->click();
        rig->button("pushButton_readData")->click();
        rig->emulator().setRegister(14, 3, "4.0");
        rig->button("pushButton_readData")->click();
        rig->button("pushButton_read")->click();
        const QString error("Ошибка чтения!");
        QCOMPARE(rig->popUps(), QStringList({error, error, error, "При чтении параметров произошла ошибка"}));
        QCOMPARE(edit("lineEdit_crrentShiftValue")->text() + edit("lineEdit_valueReaded")->text()
                     + edit("lineEdit_factoryNum")->text(),
                 QString("keptkeptkept"));
        QCOMPARE(edit("lineEdit_coefficientReaded")->text(), QString("4.000000"));
    }

    // Every keystroke in the reference recomputes; without a usable reference nothing stale remains.
    void coefficientFollowsTheReference()
    {
        edit("lineEdit_coefficientReaded")->setText("100.000000");
        edit("lineEdit_valueReaded")->setText("4.000000");
        QLineEdit* computed = edit("lineEdit_coefficientComputed");
        type("lineEdit_etalonCurrent", "8");
        QCOMPARE(computed->text(), QString("50.000000"));
        QTest::keyClicks(edit("lineEdit_etalonCurrent"), ",5");
        QCOMPARE(computed->text(), QString("47.058824"));
        type("lineEdit_etalonCurrent", "0");
        QVERIFY(computed->text().isEmpty());
        QCOMPARE(rig->popUps(), QStringList());

        type("lineEdit_etalonCurrent", "31");
        QCOMPARE(rig->popUps(), QStringList{"Значение выходит за рамки диапазона [0.0, 30.0]!"});
        QCOMPARE(edit("lineEdit_etalonCurrent")->text(), QString("0.0"));
        QVERIFY(computed->text().isEmpty());
        rig->button("pushButton_writeData")->click();
        QCOMPARE(rig->commands(), QStringList());
    }

    // A number is written, then read back into the field; anything else is refused unsent.
    void factoryNumber()
    {
        const QList<QPair<QString, QString>> typedAndSent{{"32767", "32767"}, {"00123", "123"}, {"0", "0"},
                                                          {"32768", ""},      {"-1", ""},       {"abc", ""},
                                                          {"", ""},           {"12.5", ""}};
        for (const auto& [typed, sent] : typedAndSent) {
            rig->reset();
            edit("lineEdit_factoryNum")->setText(typed);
            rig->button("pushButton_write")->click();
            const bool refused = sent.isEmpty();
            QCOMPARE(rig->popUps(), refused ? QStringList{"Заводской номер введен некорректно!"} : QStringList());
            QCOMPARE(rig->commands(), refused ? QStringList() : QStringList({"11;30;3;2;" + sent, "10;30;3;2"}));
            QCOMPARE(edit("lineEdit_factoryNum")->text(), refused ? typed : sent);
        }
    }

    // While the poller holds the port every button refuses at once and sends nothing of its own.
    void buttonsWaitForThePort()
    {
        DeviceZFN& device = rig->bench.device();
        rig->emulator().setValue("1", "0.1");
        rig->emulator().setValue("5", "12");
        device.pollController()->pollIntervalMs = 50;
        type("lineEdit_minValue", "4");
        type("lineEdit_coefficientComputed", "100");
        edit("lineEdit_factoryNum")->setText("12");
        // Every button that talks to the calibrator.
        QList<QPushButton*> buttons = rig->scope->findChildren<QPushButton*>();
        buttons.removeOne(rig->button("pushButton_standart"));
        QCOMPARE(buttons.size(), 13);
        QVERIFY(device.startPoll());
        for (QPushButton* button : buttons) {
            const int before = rig->bench.popUps().size();
            button->click();
            QCOMPARE(button->objectName() + ' ' + rig->bench.popUps().mid(before).join('|'),
                     button->objectName() + " Дождитесь окончания текущей операции!");
        }
        device.stopPoll();
        QTRY_VERIFY(device.portOwner()->isFree());
        for (const QString& command : rig->commands())
            QVERIFY2(command == "1;1" || command == "1;5", qPrintable(command));
    }
};

QTEST_MAIN(TestGraduation)
#include "test_graduation.moc"
