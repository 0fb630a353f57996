#include "HartReplyData.h"

#include <cstring>

HartReplyData::HartReplyData(const quint8* data, int size)
    : m_data(data)
    , m_size(qMax(0, size))
{
}

quint8 HartReplyData::byte(int offset) const
{
    return offset >= 0 && offset < m_size ? m_data[offset] : 0;
}

quint16 HartReplyData::word(int offset) const
{
    return quint16(byte(offset) << 8 | byte(offset + 1));
}

float HartReplyData::real(int offset) const
{
    const quint32 bits = quint32(word(offset)) << 16 | word(offset + 2);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void HartReplyData::copy(int offset, quint8* out, int count) const
{
    for (int i = 0; i < count; ++i)
        out[i] = byte(offset + i);
}
