#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <functional>

// A virtual X server for tests that look at a real window: it keeps its screen as an XWD dump in a
// folder of its own, which frame() reads. The server's root is black, so a window is whatever is not.
class XvfbServer
{
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool isInstalled();
    // False when the server did not start or named no display.
    bool start(const QString& screenSize = QStringLiteral("1024x700x24"));
    // ":n", for DISPLAY.
    QString display() const { return m_display; }
    // The calling process's environment for a program that shows its windows on this server.
    QProcessEnvironment clientEnvironment() const;
    // Null while the server's screen file is no 32-bit XWD dump.
    QImage frame() const;
    // Polls the screen until it shows something and stays the same, or timeoutMs has passed, or
    // keepWaiting() turns false.
    QImage waitForSteadyFrame(int timeoutMs, const std::function<bool()>& keepWaiting) const;
    static QRect paintedArea(const QImage& screen);

private:
    QTemporaryDir m_frameDir;
    QProcess m_server;
    QString m_display;
};
