#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "DeviceSettings.h"
#include "StartUp.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <QtTest>
#include <csignal>

class TestStartUp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void missingTranslationKeepsRussianTexts()
    {
        QTest::ignoreMessage(QtWarningMsg, "TRANSLATOR failed - no file");
        StartUp::loadTranslator();
        QCOMPARE(QCoreApplication::translate("QObject", "АРМ ЗФН"), QString("АРМ ЗФН"));
    }

    // A terminate signal ends the program through its normal exit, not by the signal.
    void programStartsOffscreenAndQuitsOnTerminate_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void programStartsOffscreenAndQuitsOnTerminate()
    {
        QFETCH(int, signalNumber);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("ZFN_PORTS", "");
        environment.insert("HOME", TestEnvironment::homePath());
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationDirPath() + "/../arm_zfn", {"-tunework"});
        QVERIFY(program.waitForStarted(5000));
        QVERIFY2(!program.waitForFinished(1500), qPrintable(program.readAllStandardError()));
        ::kill(pid_t(program.processId()), signalNumber);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    // Quiet when asked to be; the calibrator's own refusal is the one message; a release forgets.
    void hartChecksTellOnce()
    {
        DeviceTestBench bench;
        QueuedSpy state(&bench.device(), &DeviceZFN::sendHartDeviceConnectionState);
        QueuedSpy statusText(&bench.device(), &DeviceZFN::showStatusMessageSignal);
        QVERIFY(!bench.device().checkHartConnection(false));
        QVERIFY(bench.popUps().isEmpty());
        QVERIFY(statusText.isEmpty());

        QVERIFY(bench.connectTo(0));
        QVERIFY(!bench.device().checkHartConnection(true));
        QCOMPARE(bench.popUps().last(), QString("HART протокол на устройстве не включен."));
        bench.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
        // A calibrator without a transmitter refuses value 19.
        QVERIFY(!bench.device().checkHartConnection(true));
        QTRY_COMPARE(bench.popUps().last(), QString("ЗФН ответил кодом ошибки №2."));
        QCOMPARE(state.last().at(0).toBool(), false);

        bench.device().hartData()->present = true;
        QVERIFY(bench.device().checkHartConnection(true));
        QCOMPARE(state.last().at(0).toBool(), true);
        QCOMPARE(bench.popUps().size(), 2);
        bench.device().releaseDevice();
        QVERIFY(!bench.device().hartData()->present);
    }
};

QTEST_MAIN(TestStartUp)
#include "test_startup.moc"
