#pragma once

#include <QByteArray>
#include <QList>
#include <QVector>
#include <chrono>

// Cuts the byte stream from the workstation into request frames (0xFF ':' ... 0x0D 0xFF).
// A new start marker inside an unfinished frame drops the unfinished part: the sender gave up on it.
class FrameAssembler
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Frame
    {
        QByteArray bytes;
        // When the read that brought the frame's first byte returned.
        TimePoint firstByte;
    };

    QList<Frame> feed(const QByteArray& bytes, TimePoint arrived);

private:
    bool takeFrame(QList<Frame>& frames);
    void dropBeforeStart();
    void drop(int count);

    QByteArray m_buffer;
    // The arrival of every byte in m_buffer, index for index.
    QVector<TimePoint> m_arrivals;
};
