#include "PortUserWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

PortUserWatch::~PortUserWatch()
{
    stop();
}

bool PortUserWatch::start(const QString& slavePath)
{
    stop();
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    if (::inotify_add_watch(m_fd, slavePath.toLocal8Bit().constData(), IN_OPEN | IN_CLOSE) < 0) {
        stop();
        return false;
    }
    return true;
}

void PortUserWatch::stop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_opens = 0;
    m_left = false;
}

// The kernel queues an open or a close event before the call that made it returns, so what is read
// here is the state of the port as of now.
void PortUserWatch::readEvents()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t size = m_fd < 0 ? -1 : ::read(m_fd, buffer, sizeof buffer);
        if (size <= 0)
            return;
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN)
                ++m_opens;
            if ((event->mask & IN_CLOSE) && m_opens > 0 && --m_opens == 0)
                m_left = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

bool PortUserWatch::userHoldsPort()
{
    readEvents();
    return m_opens > 0;
}

bool PortUserWatch::userLeft()
{
    readEvents();
    const bool left = m_left;
    m_left = false;
    return left;
}
