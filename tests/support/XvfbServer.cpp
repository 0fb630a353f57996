#include "XvfbServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

namespace {

QString executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
}

}  // namespace

XvfbServer::~XvfbServer()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

bool XvfbServer::isInstalled()
{
    return !executable().isEmpty();
}

bool XvfbServer::start(const QString& screenSize)
{
    m_server.start(executable(), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                  QStringLiteral("0"), screenSize, QStringLiteral("-fbdir"), m_frameDir.path(),
                                  QStringLiteral("-br"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_server.waitForStarted(5000) || !m_server.waitForReadyRead(10000))
        return false;
    const QString number = QString::fromLatin1(m_server.readAllStandardOutput()).trimmed();
    m_display = number.isEmpty() ? QString() : ':' + number;
    return !m_display.isEmpty();
}

QProcessEnvironment XvfbServer::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    return environment;
}

// Xvfb keeps its screen as an XWD dump in the -fbdir folder: a big-endian header of 25 words, the
// window name, the colour map, then the pixels in the server's own byte order (32-bit, little-endian here).
QImage XvfbServer::frame() const
{
    QFile file(m_frameDir.path() + QStringLiteral("/Xvfb_screen0"));
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

QImage XvfbServer::waitForSteadyFrame(int timeoutMs, const std::function<bool()>& keepWaiting) const
{
    QImage screen;
    QImage previous;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs && keepWaiting()) {
        QTest::qWait(250);
        screen = frame();
        if (!screen.isNull() && !paintedArea(screen).isEmpty() && screen == previous)
            break;
        previous = screen;
    }
    return screen;
}

QRect XvfbServer::paintedArea(const QImage& screen)
{
    QRect area;
    for (int y = 0; y < screen.height(); y += 2)
        for (int x = 0; x < screen.width(); x += 2)
            if (qGray(screen.pixel(x, y)) > 0)
                area |= QRect(x, y, 2, 2);
    return area;
}
