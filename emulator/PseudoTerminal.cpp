#include "PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open()
{
    close();
    if (openMaster() && openSlave())
        return true;
    close();
    return false;
}

void PseudoTerminal::close()
{
    closeFd(m_slave);
    closeFd(m_master);
    m_slavePath.clear();
}

void PseudoTerminal::hangUp()
{
    closeFd(m_master);
    m_slavePath.clear();
}

bool PseudoTerminal::isOpen() const
{
    return m_master >= 0;
}

void PseudoTerminal::dropUnread()
{
    if (m_slave >= 0)
        ::tcflush(m_slave, TCIFLUSH);
}

int PseudoTerminal::masterFd() const
{
    return m_master;
}

QString PseudoTerminal::slavePath() const
{
    return m_slavePath;
}

bool PseudoTerminal::openMaster()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return false;
    // The worker must never block in write(): stop() has to stay prompt.
    if (::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0)
        return false;
    char name[128] = {};
    // ptsname() shares a static buffer between threads; several emulators may start at once.
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return false;
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

bool PseudoTerminal::openSlave()
{
    m_slave = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return false;
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    return ::tcsetattr(m_slave, TCSANOW, &settings) == 0;
}
