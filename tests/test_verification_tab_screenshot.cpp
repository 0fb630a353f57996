#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "MainWindow.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "XvfbServer.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <cstdio>

namespace {

// The same program, started on the virtual screen, shows the verification settings page with an edit.
const QByteArray childVariable("ZFN_VERIFICATION_SCREEN_CHILD");
const char* const shownLine = "VERIFICATION SETTINGS SHOWN";

}  // namespace

class TestVerificationTabScreenshot : public QObject
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
        QVERIFY(server.start(QStringLiteral("1280x1000x24")));

        QProcess child;
        QProcessEnvironment environment = server.clientEnvironment();
        environment.insert(QString::fromLatin1(childVariable), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("settingsPageShown")});
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
        int yellow = 0;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2) {
                colours.insert(shot.pixel(x, y));
                yellow += shot.pixel(x, y) == qRgb(255, 255, 0) ? 1 : 0;
            }
        QVERIFY2(colours.size() > 20, "the window is blank");
        QVERIFY2(yellow > 50, "the edited field is not marked");
        const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("../screenshot_verification_settings.png");
        QVERIFY(shot.save(path));
    }

    // Only in the child: the page in front, one condition edited.
    void settingsPageShown()
    {
        if (!qEnvironmentVariableIsSet(childVariable.constData()))
            QSKIP("runs on the virtual screen only");
        DeviceTestBench bench;
        MainWindow window;
        window.setStartMode(MainWindow::ApplyModes);
        window.resize(1200, 950);
        window.show();
        requireChild<QTabWidget>(&window, "tabDeviceConfig")->setCurrentWidget(requireChild<QWidget>(&window, "tabVerification"));
        // Other pages use some of the same names.
        auto* page = requireChild<QWidget>(&window, "tabConfiguration");
        requireChild<QTabWidget>(&window, "tabVerificationTabWidget")->setCurrentWidget(page);
        requireChild<QLineEdit>(page, "lineEdit_verificatorName")->setText("Иванов И.И.");
        for (const char* name : {"groupBox_verificationCondition", "groupBox_glak", "groupBox_etalon", "groupBox_info"})
            QVERIFY2(requireChild<QGroupBox>(page, name)->isVisible(), name);
        QCOMPARE(requireChild<QGroupBox>(page, "groupBox_verificationCondition")->title(), QString("Условия поверки"));
        QCOMPARE(requireChild<QGroupBox>(page, "groupBox_etalon")->title(), QString("Эталонный преобразователь"));
        for (const char* name : {"pushButton_read", "pushButton_apply", "pushButton_repeal"})
            QVERIFY2(requireChild<QPushButton>(page, name)->isVisible(), name);
        std::printf("%s\n", shownLine);
        std::fflush(stdout);
        QTest::qWait(60000);
    }
};

QTEST_MAIN(TestVerificationTabScreenshot)
#include "test_verification_tab_screenshot.moc"
