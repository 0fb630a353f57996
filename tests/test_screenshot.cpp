#include "TestEnvironment.h"
#include "XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <memory>

namespace {

// The server's root is black (-br); the window is whatever is not.
QRect paintedArea(const QImage& screen)
{
    QRect area;
    for (int y = 0; y < screen.height(); y += 2)
        for (int x = 0; x < screen.width(); x += 2)
            if (qGray(screen.pixel(x, y)) > 0)
                area |= QRect(x, y, 2, 2);
    return area;
}

}  // namespace

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

        auto server = std::make_unique<XvfbServer>();
        QVERIFY(server->start());

        QProcess workstation;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), server->display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("ZFN_PORTS"), QStringLiteral("COM1=/dev/null;COM3=/dev/null;COM4=/dev/null"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        workstation.setProcessEnvironment(environment);
        workstation.setWorkingDirectory(buildDir);
        workstation.start(program, {QStringLiteral("-tunework")});
        QVERIFY(workstation.waitForStarted(5000));

        QImage screen;
        QImage previous;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000 && workstation.state() == QProcess::Running) {
            QTest::qWait(250);
            screen = server->screen();
            if (!screen.isNull() && !paintedArea(screen).isEmpty() && screen == previous)
                break;
            previous = screen;
        }
        const QRect window = paintedArea(screen);
        workstation.kill();
        workstation.waitForFinished(5000);
        server.reset();

        QVERIFY2(!window.isEmpty(), "the main window never appeared");
        QVERIFY(window.width() >= 755 && window.height() >= 550);
        const QString shot = buildDir + QStringLiteral("/screenshot_main_window.png");
        QVERIFY(screen.copy(window).save(shot));
    }
};

QTEST_GUILESS_MAIN(TestScreenshot)
#include "test_screenshot.moc"
