#include "Crc16.h"

#include <array>

namespace {

// The Modbus standard's split tables: one for the high and one for the low register byte.
struct CrcTables
{
    std::array<quint8, 256> high{};
    std::array<quint8, 256> low{};
    CrcTables()
    {
        for (int i = 0; i < 256; ++i) {
            quint16 crc = quint16(i);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
            high[i] = quint8(crc & 0xFF);
            low[i] = quint8(crc >> 8);
        }
    }
};

const CrcTables& crcTables()
{
    static const CrcTables tables;
    return tables;
}

}  // namespace

quint16 Crc16::tableModbus(const QByteArray& data)
{
    const CrcTables& tables = crcTables();
    quint8 high = 0xFF;
    quint8 low = 0xFF;
    for (const char c : data) {
        const quint8 index = low ^ quint8(c);
        low = tables.high[index] ^ high;
        high = tables.low[index];
    }
    return quint16(low + 256 * high);
}

quint16 Crc16::bitwiseModbus(const quint8* data, quint16 count)
{
    quint16 crc = 0xFFFF;
    for (quint16 i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}
