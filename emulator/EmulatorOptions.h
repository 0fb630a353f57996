#pragma once

#include "CalibratorMap.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// How the emulator answers; the worker takes a copy for every request.
struct EmulatorOptions
{
    int deviceType = CalibratorMap::TypeZfn020;
    int address = 1;
    int replyDelayMs = 0;
    // 9600 baud: a reply starts after its request's wire time and goes out at the byte time.
    bool paced = false;
    bool silent = false;
    int badCheckReplies = 0;  // -1 = every reply
    QMap<QString, int> statusReplies;  // command-text prefix -> "$n"
    QMap<QString, int> commandDelays;  // command-text prefix -> ms before the reply, for replyDelayMs
    bool echo = false;
    QByteArray leadingGarbage;
    int splitPieces = 1;
    int splitGapMs = 0;
    // What is written while the workstation's port is closed is lost, as on a real serial port.
    bool loseWhileClosed = false;

    // The status code for a command text, or -1. Prefixes match whole fields ("10;1" does not
    // match "10;16;2;4"); the longest matching prefix wins.
    int statusReplyFor(const QString& command) const;
    // The wait before the reply to a command text: its own, or replyDelayMs.
    int replyDelayFor(const QString& command) const;
};
