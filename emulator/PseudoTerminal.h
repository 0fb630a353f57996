#pragma once

#include <QString>

// A pseudo-terminal whose slave side stays open for the object's life, so that a port user
// opening and closing the slave path for every exchange never leaves the master hung up.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool open();
    void close();
    // Closes the master side only: the line's far end is gone. The slave side stays open until
    // close(), so the terminal's number stays taken and no later terminal, of this process or
    // another, is handed the path a port user may still open.
    void hangUp();
    bool isOpen() const;
    // Drops what was written to the port user and not read: a serial port that is closed loses it.
    void dropUnread();
    int masterFd() const;
    QString slavePath() const;

private:
    bool openMaster();
    bool openSlave();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
