#pragma once

#include <QByteArray>
#include <QtGlobal>

// What the emulated transmitter answers to one command, before the status byte is added.
struct HartSlaveReply
{
    quint8 code = 0;
    QByteArray data;
};
