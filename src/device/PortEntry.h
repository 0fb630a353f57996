#pragma once

#include <QList>
#include <QString>

// One serial port as the workstation lists it: the name shown to the user and the path given to
// QSerialPort. ZFN_PORTS ("COM1=/dev/pts/4;COM2=/dev/pts/6") replaces the system's list, so the
// workstation can be driven by emulators on pseudo-terminals.
struct PortEntry
{
    QString name;
    QString location;

    static QList<PortEntry> availablePorts();
    static QList<PortEntry> parsePortList(const QString& text);
    static void sortPorts(QList<PortEntry>& ports);
};

bool comparePortNumbers(const PortEntry& first, const PortEntry& second);
