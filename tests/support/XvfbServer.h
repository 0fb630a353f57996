#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// An Xvfb server of its own for a screenshot test, keeping its screen as a file that the test reads.
class XvfbServer
{
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool isInstalled();
    // Starts a 1024 × 700 screen on a black root; false when the server did not come up.
    bool start();
    // ":N", the DISPLAY of the server.
    QString display() const { return m_display; }
    // The file that holds the server's screen as an XWD dump.
    QString framePath() const;
    QImage screen() const { return readXwd(framePath()); }

    // A null image when the file is not a 32-bit XWD dump.
    static QImage readXwd(const QString& path);

private:
    QTemporaryDir m_frameDir;
    QProcess m_server;
    QString m_display;
};
