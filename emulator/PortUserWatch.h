#pragma once

#include <QString>

// Follows whether a port user (the workstation) holds the slave side of the pseudo-terminal open,
// from the open and close events of its path. The emulator's own slave descriptor, opened before
// the watch starts, does not count.
class PortUserWatch
{
public:
    PortUserWatch() = default;
    ~PortUserWatch();
    PortUserWatch(const PortUserWatch&) = delete;
    PortUserWatch& operator=(const PortUserWatch&) = delete;

    bool start(const QString& slavePath);
    void stop();
    // Reads the events that came; true while a user holds the port open.
    bool userHoldsPort();
    // True when the last user has closed the port since the previous call.
    bool userLeft();

private:
    void readEvents();

    int m_fd = -1;
    int m_opens = 0;
    bool m_left = false;
};
