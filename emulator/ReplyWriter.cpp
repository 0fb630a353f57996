#include "ReplyWriter.h"

#include "EmulatorOptions.h"

#include <QtGlobal>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::chrono::nanoseconds ByteTime(1041700);
constexpr int WritableWaitMs = 20;

}  // namespace

ReplyWriter::ReplyWriter(int fd, const StopToken& stop, std::function<bool()> heard)
    : m_fd(fd)
    , m_stop(stop)
    , m_heard(std::move(heard))
{
}

std::chrono::nanoseconds ReplyWriter::wireTime(int bytes)
{
    return bytes * ByteTime;
}

bool ReplyWriter::send(const QByteArray& bytes, const EmulatorOptions& options,
                       StopToken::Clock::time_point start)
{
    const int size = bytes.size();
    const int pieces = qBound(1, options.splitPieces, qMax(1, size));
    const auto firstDue = start + std::chrono::milliseconds(options.replyDelayMs);
    for (int piece = 0; piece < pieces; ++piece) {
        const int begin = int(qint64(size) * piece / pieces);
        const int end = int(qint64(size) * (piece + 1) / pieces);
        const auto pieceStart = firstDue + piece * std::chrono::milliseconds(options.splitGapMs);
        if (!options.paced) {
            if (!writeAt(pieceStart, bytes.constData() + begin, end - begin))
                return false;
            continue;
        }
        // A byte is on the receiver's side only once its last bit has gone over the line.
        for (int i = begin; i < end; ++i) {
            if (!writeAt(pieceStart + wireTime(i + 1), bytes.constData() + i, 1))
                return false;
        }
    }
    return true;
}

bool ReplyWriter::writeAt(StopToken::Clock::time_point due, const char* data, int size)
{
    if (!m_stop.waitUntil(due))
        return false;
    return (m_heard && !m_heard()) || writeAll(data, size);
}

bool ReplyWriter::writeAll(const char* data, int size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(size));
        if (written > 0) {
            data += written;
            size -= int(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd writable{m_fd, POLLOUT, 0};
        ::poll(&writable, 1, WritableWaitMs);
        if (m_stop.isSet())
            return false;
    }
    return true;
}
