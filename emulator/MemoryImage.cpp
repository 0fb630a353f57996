#include "MemoryImage.h"

#include "AsciiUail.h"
#include "EmulatorStatus.h"

namespace {

char bcd(int value)
{
    return char((value / 10) * 16 + value % 10);
}

QByteArray noSuchItem()
{
    return EmulatorStatus::reply(EmulatorStatus::NoSuchItem);
}

}  // namespace

QByteArray MemoryImage::clockBytes(const QDateTime& time)
{
    const QDate date = time.date();
    const int year = date.year() - 2000;
    QByteArray bytes(ClockBytes, '\0');
    bytes[0] = char(0x80);
    bytes[2] = bcd(time.time().second());
    bytes[3] = bcd(time.time().minute());
    bytes[4] = bcd(time.time().hour());
    bytes[5] = char(((year % 4) << 6) | quint8(bcd(date.day())));
    bytes[6] = bcd(date.month());
    bytes[16] = char(year);
    return bytes;
}

QByteArray MemoryImage::read(int address, int count) const
{
    if (!holds(address))
        return noSuchItem();
    if (count == ByteCount)
        return QByteArray::number(quint8(m_bytes.at(address)));
    const int end = qMin(address + BlockBytes, int(BlockEnd));
    if (count != BlockCount || end <= address)
        return noSuchItem();
    return m_bytes.mid(address, end - address).toHex().toUpper();
}

QByteArray MemoryImage::write(int address, int count, const QByteArray& data)
{
    if (!holds(address))
        return noSuchItem();
    if (count == ByteCount) {
        bool ok = false;
        const uint value = data.toUInt(&ok);
        if (!ok || value > 255)
            return noSuchItem();
        m_bytes[address] = char(value);
        return EmulatorStatus::reply(EmulatorStatus::Done);
    }
    if (count != BlockCount || !AsciiUail::isHexText(data) || data.isEmpty() || data.size() > 2 * BlockBytes
        || address + data.size() / 2 > BlockEnd)
        return noSuchItem();
    setBytes(address, QByteArray::fromHex(data));
    return EmulatorStatus::reply(EmulatorStatus::Done);
}

void MemoryImage::setBytes(int address, const QByteArray& bytes)
{
    for (int i = 0; i < bytes.size() && holds(address + i); ++i)
        m_bytes[address + i] = bytes.at(i);
}

QByteArray MemoryImage::bytes(int address, int count) const
{
    return holds(address) ? m_bytes.mid(address, count) : QByteArray();
}
