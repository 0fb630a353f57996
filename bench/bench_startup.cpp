// Start-up of the workstation program itself: arm_zfn runs on an Xvfb server of the bench's own,
// and each sample is timed from launching the process to the server mapping its main window, the
// moment the window is exposed (no window manager stands in between). The resident memory is read
// from /proc once the screen shows the painted window and has settled; then the program is ended
// the normal way. Goals: under 1 s and under 80 MB. Usage: bench_startup [samples]
#include "Spread.h"
#include "XvfbServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <xcb/xcb.h>

namespace {

constexpr double goalMs = 1000.0;
constexpr double goalMb = 80.0;
constexpr int timeoutMs = 30000;

// A field of /proc/<pid>/status in MB ("VmRSS:", "RssAnon:"), or -1.
double statusMb(qint64 pid, const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Watches the server's root window for top-level windows being mapped.
class MapWatch
{
public:
    explicit MapWatch(const QString& display)
        : m_connection(xcb_connect(display.toLatin1().constData(), nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
    }
    ~MapWatch() { xcb_disconnect(m_connection); }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    bool isOpen() const { return m_root != 0; }

    void dropPending()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    // True once a window that is not a pop-up is mapped on the root, false after timeoutMs.
    bool waitForMap(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                const bool mapped = isTopLevelMap(event);
                std::free(event);
                if (mapped)
                    return true;
            }
            const int left = timeoutMs - int(timer.elapsed());
            if (left <= 0 || xcb_connection_has_error(m_connection))
                return false;
            pollfd readable{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&readable, 1, left);
        }
    }

private:
    bool isTopLevelMap(const xcb_generic_event_t* event) const
    {
        if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY)
            return false;
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        return map->event == m_root && !map->override_redirect;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
};

struct Sample
{
    double ms = -1;
    double mb = -1;
    // The program's own pages; the rest are mapped files, the libraries above all.
    double anonymousMb = -1;
};

Sample runSample(const XvfbServer& server, MapWatch& watch, const QString& home)
{
    QProcess program;
    QProcessEnvironment environment = server.clientEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    environment.insert(QStringLiteral("ZFN_PORTS"), QStringLiteral("COM1=/dev/null;COM2=/dev/null"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    watch.dropPending();
    QElapsedTimer timer;
    timer.start();
    program.start(QStringLiteral(ZFN_ARM_ZFN), QStringList());
    Sample sample;
    if (watch.waitForMap(timeoutMs)) {
        sample.ms = double(timer.nsecsElapsed()) / 1e6;
        server.waitForSteadyFrame(timeoutMs, [&program] { return program.state() == QProcess::Running; });
        sample.mb = statusMb(program.processId(), "VmRSS:");
        sample.anonymousMb = statusMb(program.processId(), "RssAnon:");
    }
    program.terminate();
    if (!program.waitForFinished(timeoutMs))
        program.kill();
    program.waitForFinished(timeoutMs);
    return sample;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int samples = std::max(1, argc > 1 ? QByteArray(argv[1]).toInt() : 5);
    XvfbServer server;
    if (!XvfbServer::isInstalled() || !server.start(QStringLiteral("1280x900x24"))) {
        std::fprintf(stderr, "no Xvfb server\n");
        return 1;
    }
    MapWatch watch(server.display());
    if (!watch.isOpen()) {
        std::fprintf(stderr, "cannot connect to %s\n", qPrintable(server.display()));
        return 1;
    }
    QTemporaryDir home;
    std::vector<double> times;
    std::vector<double> memory;
    std::vector<double> anonymous;
    for (int i = 0; i < samples; ++i) {
        const Sample sample = runSample(server, watch, home.path());
        if (sample.ms < 0 || sample.mb < 0) {
            std::printf("sample %d: the window was not shown\n", i + 1);
            return 1;
        }
        std::printf("sample %d: window exposed after %.1f ms, %.1f MB resident (%.1f MB anonymous)\n", i + 1,
                    sample.ms, sample.mb, sample.anonymousMb);
        times.push_back(sample.ms);
        memory.push_back(sample.mb);
        anonymous.push_back(sample.anonymousMb);
    }
    const Spread ms = Spread::of(times);
    const Spread mb = Spread::of(memory);
    std::printf("median start to window exposed: %.1f ms (%.1f to %.1f; goal < %.0f ms) %s\n", ms.median, ms.least,
                ms.greatest, goalMs, ms.median < goalMs ? "OK" : "OVER");
    std::printf("median resident memory with the window shown: %.1f MB, %.1f MB of it anonymous (goal < %.0f MB) %s\n",
                mb.median, Spread::of(anonymous).median, goalMb, mb.median < goalMb ? "OK" : "OVER");
    return 0;
}
