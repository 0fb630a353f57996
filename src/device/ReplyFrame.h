#pragma once

#include <QByteArray>

// Where a calibrator's reply frame lies among what a port brings. A reply runs from its "!" to the
// carriage return after it and never holds the request marker (0xFF); what stands around it, our
// own echo (0xFF ':' … CR 0xFF), stray and noise bytes, is no reply's.
class ReplyFrame
{
public:
    // The first whole reply, bytes [begin, end]; begin is -1 when none is whole yet.
    static ReplyFrame first(const QByteArray& bytes);

    bool isWhole() const { return m_begin >= 0; }
    int end() const { return m_end; }
    QByteArray of(const QByteArray& bytes) const { return bytes.mid(m_begin, m_end - m_begin + 1); }

private:
    ReplyFrame(int begin, int end) : m_begin(begin), m_end(end) {}
    static int checkedBegin(const QByteArray& bytes, int begin, int end);

    int m_begin;
    int m_end;
};
