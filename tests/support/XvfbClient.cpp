#include "XvfbClient.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QtEndian>
#include <cstdio>

namespace {

const char clientVariable[] = "ZFN_XVFB_FRAME";

// An XWD dump: a big-endian header of 25 words, the window name, the colour map, then the pixels in
// the server's own byte order (32-bit, little-endian here).
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

// Share of the pixels that differ between the two images, 0 to 1.
double difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
    return double(differing) / double(a.width() * a.height());
}

}  // namespace

// Xvfb keeps its screen in the -fbdir folder and prints its display number on descriptor 1.
int XvfbClient::main(int argc, char** argv, const std::function<int(int, char**)>& clientTests)
{
    TestEnvironment::prepare();
    if (qEnvironmentVariableIsSet(clientVariable)) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        QApplication app(argc, argv);
        return clientTests(argc, argv);
    }
    QCoreApplication app(argc, argv);
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        std::puts("SKIP: Xvfb is not installed");
        return 0;
    }
    QTemporaryDir frameDir;
    QProcess server;
    server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1280x900x24", "-fbdir", frameDir.path(), "-br", "-nolisten",
                        "tcp"});
    const bool started = server.waitForStarted(5000) && server.waitForReadyRead(10000);
    const QString display = QString::fromLatin1(server.readAllStandardOutput()).trimmed();
    int result = 1;
    if (!started || display.isEmpty()) {
        std::fputs("Xvfb did not start\n", stderr);
    } else {
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), ':' + display);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        environment.insert(QString::fromLatin1(clientVariable), frameDir.filePath(QStringLiteral("Xvfb_screen0")));
        client.setProcessEnvironment(environment);
        client.setProcessChannelMode(QProcess::ForwardedChannels);
        client.start(QCoreApplication::applicationFilePath(), app.arguments().mid(1));
        if (!client.waitForFinished(240000))
            std::fputs("the X client did not finish\n", stderr);
        else if (client.exitStatus() == QProcess::NormalExit)
            result = client.exitCode();
    }
    server.kill();
    server.waitForFinished(5000);
    return result;
}

QImage XvfbClient::settledScreen()
{
    const QString framePath = qEnvironmentVariable(clientVariable);
    QImage previous;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QTest::qWait(150);
        const QImage screen = readXwd(framePath);
        if (!screen.isNull() && screen == previous)
            return screen;
        previous = screen;
    }
    return previous;
}

int XvfbClient::colourCount(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y) & 0xFFFFFF);
    return colours.size();
}

bool XvfbClient::showsAsPainted(const QImage& screen, const QWidget* widget)
{
    QWidget* window = widget->window();
    const QImage painted = window->grab(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()))
                               .toImage()
                               .convertToFormat(QImage::Format_RGB32);
    return widget->isVisible() && colourCount(painted) > 2 && difference(painted, onScreen(screen, widget)) < 0.02;
}

QImage XvfbClient::onScreen(const QImage& screen, const QWidget* widget)
{
    return screen.copy(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
}

bool XvfbClient::save(const QImage& picture, const QString& name)
{
    return picture.save(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("screenshot_%1.png").arg(name)));
}

QRect XvfbClient::paintedArea(const QImage& screen)
{
    QRect area;
    for (int y = 0; y < screen.height(); y += 2)
        for (int x = 0; x < screen.width(); x += 2)
            if (qGray(screen.pixel(x, y)) > 0)
                area |= QRect(x, y, 2, 2);
    return area;
}
