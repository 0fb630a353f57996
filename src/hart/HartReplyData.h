#pragma once

#include <QtGlobal>

// Read-only view of a reply's data bytes (after the two status bytes). Numbers are big-endian on
// the wire and come back in host order; a byte past the end reads as 0.
class HartReplyData
{
public:
    HartReplyData(const quint8* data, int size);

    int size() const { return m_size; }
    quint8 byte(int offset) const;
    quint16 word(int offset) const;
    float real(int offset) const;
    void copy(int offset, quint8* out, int count) const;

private:
    const quint8* m_data;
    int m_size;
};
