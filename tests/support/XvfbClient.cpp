#include "XvfbClient.h"

#include "XvfbServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTest>

bool XvfbClient::runSelf(const char* frameVariable, QByteArray* output)
{
    XvfbServer server;
    if (!server.start()) {
        *output = "Xvfb did not start";
        return false;
    }
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), server.display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QString::fromLatin1(frameVariable), server.framePath());
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(QCoreApplication::applicationFilePath(), QStringList());
    const bool finished = client.waitForFinished(120000);
    *output = client.readAll();
    return finished && client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
}

QImage XvfbClient::settledScreen(const QString& framePath)
{
    QImage previous;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QTest::qWait(150);
        const QImage screen = XvfbServer::readXwd(framePath);
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

double XvfbClient::difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
    return double(differing) / double(a.width() * a.height());
}
