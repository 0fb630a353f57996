#pragma once

#include "StopToken.h"

#include <QByteArray>
#include <functional>

struct EmulatorOptions;

// Writes the emulator's output to the master side on an absolute schedule (delay, pieces with
// gaps, 9600-baud byte times), so that sleeps never add up to drift.
class ReplyWriter
{
public:
    // heard: whether bytes written now reach the port user; those that would not are dropped.
    ReplyWriter(int fd, const StopToken& stop, std::function<bool()> heard = {});

    // How long the bytes take on the line: 10 bits each (start, 8 data, stop) at 9600 baud.
    static std::chrono::nanoseconds wireTime(int bytes);

    // False when a stop or a write error cut the output short.
    bool send(const QByteArray& bytes, const EmulatorOptions& options, StopToken::Clock::time_point start);

private:
    bool writeAt(StopToken::Clock::time_point due, const char* data, int size);
    bool writeAll(const char* data, int size);

    int m_fd;
    const StopToken& m_stop;
    std::function<bool()> m_heard;
};
