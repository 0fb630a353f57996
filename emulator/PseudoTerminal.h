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
    bool isOpen() const;
    int masterFd() const;
    QString slavePath() const;

private:
    bool openMaster();
    bool openSlave();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
