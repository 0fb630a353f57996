#pragma once

#include <QByteArray>
#include <QList>

// Cuts the byte stream from the workstation into request frames (0xFF ':' ... 0x0D 0xFF).
// A new start marker inside an unfinished frame drops the unfinished part: the sender gave up on it.
class FrameAssembler
{
public:
    QList<QByteArray> feed(const QByteArray& bytes);

private:
    bool takeFrame(QList<QByteArray>& frames);
    void dropBeforeStart();

    QByteArray m_buffer;
};
