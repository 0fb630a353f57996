#include "HartSubPageRig.h"
#include "HartTextTables.h"
#include "ParametrPoller.h"
#include "PortOwner.h"
#include "TabHartUCurrentOutput.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QThread>

namespace {

constexpr int CurrentOutputPage = 3;
const QString outOfRange = QStringLiteral("Значение выходит за пределы диапазона.");
const QString wrongData = QStringLiteral("В выбранном поле содержатся неверные данные");

}  // namespace

class TestHartCurrentOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        initHartTextTables();
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
        QCOMPARE(rig.find<QLabel>("label_text_zfnCurrent")->text(), QString("Измеренный ток через ЗФН:"));
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
        QCOMPARE(rig.sentData(40), hartFloatBytes(4.0f));
        QVERIFY(rig.find<QPushButton>("pushButton_stopTrimLo")->isVisible());
        QVERIFY(!rig.find<QPushButton>("pushButton_setFixedHi")->isEnabled());
        QTRY_VERIFY(rig.find<QWidget>("widget_zfnCurrent")->isVisible());
        rig.find<QPushButton>("pushButton_setZfnValLo")->click();
        QCOMPARE(value->text(), QString("4.02"));

        rig.clearLogs();
        QVERIFY(rig.clickAndWait("pushButton_trimLo"));
        QCOMPARE(rig.transmitter().commands(), QList<int>({45, 40}));
        QCOMPARE(rig.sentData(45), hartFloatBytes(4.02f));
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

QTEST_MAIN(TestHartCurrentOutput)
#include "test_hart_current_output.moc"
