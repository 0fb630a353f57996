#include "FrameAssembler.h"

#include "AsciiUail.h"

namespace {
// No request comes near this; past it the bytes are noise and would only grow the buffer.
constexpr int MaxFrameBytes = 4096;
}  // namespace

QList<FrameAssembler::Frame> FrameAssembler::feed(const QByteArray& bytes, TimePoint arrived)
{
    m_buffer += bytes;
    m_arrivals.insert(m_arrivals.size(), bytes.size(), arrived);
    QList<Frame> frames;
    while (takeFrame(frames)) {
    }
    return frames;
}

bool FrameAssembler::takeFrame(QList<Frame>& frames)
{
    dropBeforeStart();
    if (m_buffer.isEmpty())
        return false;
    const int markerSize = AsciiUail::packageStart.size();
    const int end = m_buffer.indexOf(AsciiUail::packageEnd, markerSize);
    const int restart = m_buffer.indexOf(AsciiUail::packageStart, markerSize);
    if (restart >= 0 && (end < 0 || restart < end)) {
        drop(restart);
        return true;
    }
    if (end < 0) {
        if (m_buffer.size() > MaxFrameBytes)
            drop(m_buffer.size());
        return false;
    }
    const int frameSize = end + AsciiUail::packageEnd.size();
    frames.append({m_buffer.left(frameSize), m_arrivals.first()});
    drop(frameSize);
    return true;
}

void FrameAssembler::dropBeforeStart()
{
    const int start = m_buffer.indexOf(AsciiUail::packageStart);
    if (start >= 0) {
        drop(start);
        return;
    }
    // A lone 0xFF at the end may be the first half of a start marker split across reads.
    const bool keepLast = m_buffer.endsWith(AsciiUail::packageStart.left(1));
    drop(keepLast ? m_buffer.size() - 1 : m_buffer.size());
}

void FrameAssembler::drop(int count)
{
    m_buffer.remove(0, count);
    m_arrivals.remove(0, count);
}
