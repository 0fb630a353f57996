#include "TestEnvironment.h"
#include "XvfbServer.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QtTest>

class TestScreenshot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void mainWindowUnderXvfb()
    {
        if (!XvfbServer::isInstalled())
            QSKIP("Xvfb is not installed");
        const QString buildDir = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
        const QString program = buildDir + QStringLiteral("/arm_zfn");
        if (!QFileInfo::exists(program))
            QSKIP("arm_zfn is not built");

        XvfbServer server;
        QVERIFY(server.start(QStringLiteral("1024x700x24")));

        QProcess workstation;
        QProcessEnvironment environment = server.clientEnvironment();
        environment.insert(QStringLiteral("ZFN_PORTS"), QStringLiteral("COM1=/dev/null;COM3=/dev/null;COM4=/dev/null"));
        workstation.setProcessEnvironment(environment);
        workstation.setWorkingDirectory(buildDir);
        workstation.start(program, {QStringLiteral("-tunework")});
        QVERIFY(workstation.waitForStarted(5000));

        const QImage screen = server.waitForSteadyFrame(
            30000, [&workstation] { return workstation.state() == QProcess::Running; });
        const QRect window = XvfbServer::paintedArea(screen);
        workstation.kill();
        workstation.waitForFinished(5000);

        QVERIFY2(!window.isEmpty(), "the main window never appeared");
        QVERIFY(window.width() >= 755 && window.height() >= 550);
        const QString shot = buildDir + QStringLiteral("/screenshot_main_window.png");
        QVERIFY(screen.copy(window).save(shot));
    }
};

QTEST_GUILESS_MAIN(TestScreenshot)
#include "test_screenshot.moc"
