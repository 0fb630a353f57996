#include "TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>

namespace {

// Xvfb keeps its screen as an XWD dump in the -fbdir folder: a big-endian header of 25 words, the
// window name, the colour map, then the pixels in the server's own byte order (32-bit, little-endian here).
QImage readXwd(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray data = file.readAll();
    if (data.size() < 100)
        return QImage();
    auto word = [&data](int index) { return qFromBigEndian<quint32>(data.constData() + index * 4); };
    const quint32 headerSize = word(0);
    const int width = int(word(4));
    const int height = int(word(5));
    const quint32 bitsPerPixel = word(11);
    const int bytesPerLine = int(word(12));
    const quint32 colours = word(19);
    const qint64 pixels = qint64(headerSize) + qint64(colours) * 12;
    if (bitsPerPixel != 32 || pixels + qint64(bytesPerLine) * height > data.size())
        return QImage();
    QImage image(reinterpret_cast<const uchar*>(data.constData() + pixels), width, height, bytesPerLine,
                 QImage::Format_RGB32);
    return image.copy();
}

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
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed");
        const QString buildDir = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
        const QString program = buildDir + QStringLiteral("/arm_zfn");
        if (!QFileInfo::exists(program))
            QSKIP("arm_zfn is not built");

        QTemporaryDir frameDir;
        QProcess server;
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                            QStringLiteral("0"), QStringLiteral("1024x700x24"), QStringLiteral("-fbdir"),
                            frameDir.path(), QStringLiteral("-br"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
        QVERIFY(server.waitForStarted(5000));
        QVERIFY(server.waitForReadyRead(10000));
        const QString display = QString::fromLatin1(server.readAllStandardOutput()).trimmed();
        QVERIFY(!display.isEmpty());

        QProcess workstation;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), ':' + display);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("ZFN_PORTS"), QStringLiteral("COM1=/dev/null;COM3=/dev/null;COM4=/dev/null"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        workstation.setProcessEnvironment(environment);
        workstation.setWorkingDirectory(buildDir);
        workstation.start(program, {QStringLiteral("-tunework")});
        QVERIFY(workstation.waitForStarted(5000));

        const QString framePath = frameDir.path() + QStringLiteral("/Xvfb_screen0");
        QImage screen;
        QImage previous;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000 && workstation.state() == QProcess::Running) {
            QTest::qWait(250);
            screen = readXwd(framePath);
            if (!screen.isNull() && !paintedArea(screen).isEmpty() && screen == previous)
                break;
            previous = screen;
        }
        const QRect window = paintedArea(screen);
        workstation.kill();
        workstation.waitForFinished(5000);
        server.kill();
        server.waitForFinished(5000);

        QVERIFY2(!window.isEmpty(), "the main window never appeared");
        QVERIFY(window.width() >= 755 && window.height() >= 550);
        const QString shot = buildDir + QStringLiteral("/screenshot_main_window.png");
        QVERIFY(screen.copy(window).save(shot));
    }
};

QTEST_GUILESS_MAIN(TestScreenshot)
#include "test_screenshot.moc"
