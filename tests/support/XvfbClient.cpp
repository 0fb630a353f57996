#include "XvfbClient.h"

#include "TestEnvironment.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTest>
#include <QWidget>
#include <cstdio>

namespace {

const XvfbServer* server = nullptr;

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

int XvfbClient::main(int argc, char** argv, const std::function<int(int, char**)>& clientTests)
{
    TestEnvironment::prepare();
    if (!XvfbServer::isInstalled()) {
        std::puts("SKIP: Xvfb is not installed");
        return 0;
    }
    XvfbServer xvfb;
    if (!xvfb.start(QStringLiteral("1280x900x24"))) {
        std::fputs("Xvfb did not start\n", stderr);
        return 1;
    }
    server = &xvfb;
    qputenv("DISPLAY", xvfb.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    return clientTests(argc, argv);
}

QImage XvfbClient::settledScreen()
{
    QImage previous;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QTest::qWait(150);
        const QImage screen = server->frame();
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
