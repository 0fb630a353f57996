#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "MainWindow.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "XvfbServer.h"

#include <QDir>
#include <QGroupBox>
#include <QMenuBar>
#include <QProcess>
#include <QTabWidget>
#include <QtTest>
#include <cstdio>

namespace {

// The same program, started on the virtual screen, plays the workstation after a settings read.
const QByteArray childVariable("ZFN_SETTINGS_SCREEN_CHILD");
const char* const shownLine = "SETTINGS PAGE SHOWN";

}  // namespace

class TestSettingsScreenshot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
    }

    void settingsPageUnderXvfb()
    {
        if (qEnvironmentVariableIsSet(childVariable.constData()))
            QSKIP("runs in the parent only");
        if (!XvfbServer::isInstalled())
            QSKIP("Xvfb is not installed");
        XvfbServer server;
        QVERIFY(server.start(QStringLiteral("1280x900x24")));

        QProcess child;
        QProcessEnvironment environment = server.clientEnvironment();
        environment.insert(QString::fromLatin1(childVariable), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("settingsPageAfterRead")});
        QVERIFY(child.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([&child] { return child.readAllStandardOutput().contains(shownLine)
                                                  || child.state() != QProcess::Running; }, 30000));
        const QImage screen = server.waitForSteadyFrame(
            20000, [&child] { return child.state() == QProcess::Running; });
        const bool stillRunning = child.state() == QProcess::Running;
        child.kill();
        child.waitForFinished(5000);
        QVERIFY2(stillRunning, child.readAllStandardError().right(2000).constData());

        const QRect window = XvfbServer::paintedArea(screen);
        QVERIFY2(!window.isEmpty(), "the window never appeared");
        const QImage shot = screen.copy(window);
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 4)
            for (int x = 0; x < shot.width(); x += 4)
                colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 20, "the window is blank");
        const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("../screenshot_settings_page.png");
        QVERIFY(shot.save(path));
    }

    // Only in the child: a type-90 calibrator read on connect, the settings page in front.
    void settingsPageAfterRead()
    {
        if (!qEnvironmentVariableIsSet(childVariable.constData()))
            QSKIP("runs on the virtual screen only");
        DeviceTestBench bench;
        MainWindow window;
        window.setStartMode(MainWindow::ApplyModes);
        window.show();
        QVERIFY(bench.connectTo(0, 1, 90));
        QVERIFY(QTest::qWaitFor([&] { return bench.device().portOwner()->isFree() && window.menuBar()->isEnabled(); },
                                10000));
        auto* pages = requireChild<QTabWidget>(&window, "tabDeviceConfig");
        pages->setCurrentWidget(requireChild<QWidget>(&window, "tabDevice"));
        for (const char* name : {"groupBox_deviceParametrs", "groupBox_dataTime", "groupBox_pd_settings"})
            QVERIFY(requireChild<QGroupBox>(&window, name)->isVisible());
        QCOMPARE(requireChild<QGroupBox>(&window, "groupBox_deviceParametrs")->title(), QString("Параметры ЗФН"));
        QCOMPARE(requireChild<QGroupBox>(&window, "groupBox_dataTime")->title(), QString("Дата и время"));
        QCOMPARE(requireChild<QGroupBox>(&window, "groupBox_pd_settings")->title(), QString("Параметры эталонного ПД"));
        QVERIFY(requireChild<QWidget>(&window, "widget_hider_currentPD")->isVisible());
        std::printf("%s\n", shownLine);
        std::fflush(stdout);
        QTest::qWait(60000);
    }
};

QTEST_MAIN(TestSettingsScreenshot)
#include "test_settings_screenshot.moc"
