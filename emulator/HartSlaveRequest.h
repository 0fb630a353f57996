#pragma once

#include <QByteArray>

// One HART command that reached the emulated transmitter: addressed to it, with a good check byte.
struct HartSlaveRequest
{
    int command = 0;
    QByteArray data;
};
