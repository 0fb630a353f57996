#include "DeviceZFN.h"
#include "IconSet.h"
#include "TabResults.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QtTest>

namespace {

// Set in the process that shows the page under Xvfb: where it leaves the picture of the screen.
const char* const shotVariable = "ZFN_RESULTS_PAGE_SHOT";
const char* const buttonNames[] = {"pushButtonToExcel", "pushButtonClearAll", "pushButtonDeleteButton",
                                   "pushButtonGroup", "pushButtonComputeUndef"};

// Shows the page on the X server, saves the server's whole screen and prints each button's place.
int showResultsPage(int argc, char** argv, const QString& shotPath)
{
    QApplication app(argc, argv);
    initChoiceLists();
    loadIcons();
    DeviceZFN device;
    device.init();
    TabResults page;
    page.setGeometry(0, 0, 760, 460);
    page.show();
    if (!QTest::qWaitForWindowExposed(&page))
        return 2;
    QTest::qWait(500);
    if (!page.screen()->grabWindow(0).save(shotPath))
        return 3;
    QTextStream out(stdout);
    for (const char* name : buttonNames) {
        const auto* button = page.findChild<QPushButton*>(QString::fromLatin1(name));
        const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
        out << name << ' ' << place.x() << ' ' << place.y() << ' ' << place.width() << ' ' << place.height() << '\n';
    }
    return 0;
}

// Text is dark on the light button face: both must be there, right of the icon.
bool showsText(const QImage& screen, const QRect& button)
{
    const QRect text = button.adjusted(button.width() / 4, 4, -4, -4);
    int dark = 0;
    int light = 0;
    for (int y = text.top(); y <= text.bottom(); ++y) {
        for (int x = text.left(); x <= text.right(); ++x) {
            const int gray = qGray(screen.pixel(x, y));
            dark += gray < 100;
            light += gray > 180;
        }
    }
    return dark > 20 && light > dark;
}

}  // namespace

class TestResultsScreenshot : public QObject
{
    Q_OBJECT
private slots:
    void resultsPageUnderXvfb();
};

void TestResultsScreenshot::resultsPageUnderXvfb()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        QSKIP("Xvfb is not installed");
    QProcess server;
    server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x700x24", "-nolisten", "tcp"});
    QVERIFY(server.waitForStarted(5000));
    QVERIFY(server.waitForReadyRead(10000));
    const QString display = QString::fromLatin1(server.readAllStandardOutput()).trimmed();
    QVERIFY(!display.isEmpty());

    const QString shot = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshot_results_page.png");
    QFile::remove(shot);
    QProcess page;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), ':' + display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QString::fromLatin1(shotVariable), shot);
    page.setProcessEnvironment(environment);
    page.start(QCoreApplication::applicationFilePath(), QStringList());
    const bool finished = page.waitForFinished(60000);
    const QString places = QString::fromUtf8(page.readAllStandardOutput());
    server.kill();
    server.waitForFinished(5000);
    QVERIFY2(finished && page.exitCode() == 0, qPrintable(QString::fromUtf8(page.readAllStandardError())));

    const QImage screen(shot);
    QVERIFY(!screen.isNull());
    QVERIFY2(screen.copy(0, 0, 760, 460).convertToFormat(QImage::Format_Indexed8).colorCount() > 16,
             "the page is blank");
    const QStringList lines = places.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), int(std::size(buttonNames)));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '));
        const QRect button(fields[1].toInt(), fields[2].toInt(), fields[3].toInt(), fields[4].toInt());
        QVERIFY2(screen.rect().contains(button) && button.height() >= 40, qPrintable(line));
        QVERIFY2(showsText(screen, button), qPrintable(fields[0] + QStringLiteral(" shows no text")));
    }
}

int main(int argc, char** argv)
{
    const QByteArray shot = qgetenv(shotVariable);
    if (!shot.isEmpty())
        return showResultsPage(argc, argv, QString::fromLocal8Bit(shot));
    TestEnvironment::prepare();
    QCoreApplication app(argc, argv);
    TestResultsScreenshot test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_results_screenshot.moc"
