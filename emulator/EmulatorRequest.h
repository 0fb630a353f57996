#pragma once

#include <QByteArray>
#include <QString>

// One complete frame the emulator received. timeUs is CLOCK_MONOTONIC (std::chrono::steady_clock),
// the same clock QElapsedTimer uses on Linux, so stamps compare across emulators and threads.
struct EmulatorRequest
{
    qint64 timeUs = 0;
    QByteArray frame;
    int address = -1;
    QString command;  // "10;16;2;4": the body without the address and the trailing ';'
    bool validCrc = false;

    qint64 timeMs() const { return timeUs / 1000; }
    int commandNumber() const;

    static EmulatorRequest fromFrame(const QByteArray& frame, qint64 timeUs);
};
