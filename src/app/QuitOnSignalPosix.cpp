#include "QuitOnSignal.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalSockets[2] = {-1, -1};

// A signal handler may call little more than write: it passes a byte to the socket pair, whose
// notifier turns it into the quit in the GUI thread.
void writeSignalByte(int)
{
    const char byte = 1;
    if (g_signalSockets[0] >= 0 && ::write(g_signalSockets[0], &byte, 1) < 0)
        return;
}

bool readSignalByte()
{
    char byte = 0;
    return ::read(g_signalSockets[1], &byte, 1) > 0;
}

}  // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalSockets) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        if (readSignalByte())
            emit quitRequested();
    });
    struct sigaction action = {};
    action.sa_handler = &writeSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    for (int& socket : g_signalSockets) {
        if (socket >= 0)
            ::close(socket);
        socket = -1;
    }
}
