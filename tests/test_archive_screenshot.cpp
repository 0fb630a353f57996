#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "GraphWidget.h"
#include "LinenPlot.h"
#include "MenuArchiveToResults.h"
#include "TabArchive.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "XvfbServer.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <cstdio>
#include <qwt_plot_curve.h>

namespace {

// The same program, started on the virtual screen, shows the page; the parent takes the picture.
const QByteArray childVariable("ZFN_ARCHIVE_SCREEN_CHILD");
const char* const shownLine = "ARCHIVE PAGE SHOWN";

// The page on screen with 60 varied frames loaded.
struct ShownPage
{
    DeviceTestBench bench{0};
    TabArchive page;

    ShownPage()
    {
        QVector<ArchiveRecord> frames;
        for (int i = 0; i < 60; ++i) {
            const QByteArray frame = ArchiveFrameBuilder::mixed(i);
            frames << ArchiveRecord(reinterpret_cast<const quint8*>(frame.constData()), quint32(i));
        }
        bench.device().archiveModel()->replaceRecords(frames);
        page.resize(1000, 700);
        page.show();
    }
};

void announceAndWait()
{
    std::printf("%s\n", shownLine);
    std::fflush(stdout);
    QTest::qWait(60000);
}

}  // namespace

class TestArchiveScreenshot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
    }

    void pageAndPanelUnderXvfb()
    {
        if (qEnvironmentVariableIsSet(childVariable.constData()))
            QSKIP("runs in the parent only");
        if (!XvfbServer::isInstalled())
            QSKIP("Xvfb is not installed");
        shoot(QStringLiteral("pageWithPlots"), QStringLiteral("../screenshot_archive_page.png"));
        shoot(QStringLiteral("panelOverThePage"), QStringLiteral("../screenshot_archive_panel.png"));
    }

    // Only in a child: the frames plotted in kPa, the page in front.
    void pageWithPlots()
    {
        if (!qEnvironmentVariableIsSet(childVariable.constData()))
            QSKIP("runs on the virtual screen only");
        ShownPage shown;
        TabArchive& page = shown.page;
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        requireChild<QPushButton>(&page, "pushButton_plotGrapf")->click();
        for (const char* name : {"pushButton_readArchive", "pushButton_convertToExcel", "pushButton_plotGrapf",
                                 "pushButton_moveToResult", "pushButton_clearArchive"})
            QVERIFY(requireChild<QPushButton>(&page, name)->isVisible());
        QVERIFY(page.pressureGraph()->isVisible() && page.errorGraph()->isVisible());
        QVERIFY(page.pressureGraph()->plot()->curve(0)->dataSize() == 60);
        QVERIFY(page.pressureGraph()->plot()->curve(2)->dataSize() == 20);
        QCOMPARE(page.pressureGraph()->findChild<QComboBox*>()->currentText(), QStringLiteral("кПа"));
        announceAndWait();
    }

    // Only in a child: the panel laid over the page, its filters and table shown.
    void panelOverThePage()
    {
        if (!qEnvironmentVariableIsSet(childVariable.constData()))
            QSKIP("runs on the virtual screen only");
        ShownPage shown;
        TabArchive& page = shown.page;
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.moveToResults();
        auto* panel = page.findChild<MenuArchiveToResults*>();
        QVERIFY(panel && panel->isVisible() && panel->geometry() == page.rect());
        QCOMPARE(requireChild<QGroupBox>(panel, "groupBoxHold")->title(), QStringLiteral("Перенос архива в таблицу поверки"));
        for (const char* name : {"label_hartState", "label_deviceSerialNum", "label_allowErrorCode"})
            QVERIFY(requireChild<QLabel>(panel, name)->isVisible());
        QVERIFY(requireChild<QPushButton>(panel, "pushButton_move")->isVisible());
        announceAndWait();
    }

private:
    void shoot(const QString& mode, const QString& picture)
    {
        XvfbServer server;
        QVERIFY(server.start(QStringLiteral("1100x760x24")));
        QProcess child;
        QProcessEnvironment environment = server.clientEnvironment();
        environment.insert(QString::fromLatin1(childVariable), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {mode});
        QVERIFY(child.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([&child] { return child.readAllStandardOutput().contains(shownLine)
                                                  || child.state() != QProcess::Running; }, 30000));
        const QImage screen = server.waitForSteadyFrame(20000, [&child] { return child.state() == QProcess::Running; });
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
        QVERIFY(shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(picture)));
    }
};

QTEST_MAIN(TestArchiveScreenshot)
#include "test_archive_screenshot.moc"
