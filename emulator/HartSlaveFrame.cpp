#include "HartSlaveFrame.h"

namespace {

constexpr quint8 MasterLong = 0x82;
constexpr quint8 MasterShort = 0x02;
constexpr quint8 AcknowledgeLong = 0x86;
constexpr quint8 AcknowledgeShort = 0x06;
constexpr int LongAddressBytes = 5;

quint8 xorOf(const QByteArray& bytes)
{
    quint8 check = 0;
    for (const char c : bytes)
        check ^= quint8(c);
    return check;
}

}  // namespace

bool HartSlaveFrame::fromRequest(const QByteArray& bytes, HartSlaveFrame& frame)
{
    if (bytes.isEmpty())
        return false;
    const quint8 delimiter = quint8(bytes.at(0));
    if (delimiter != MasterLong && delimiter != MasterShort)
        return false;
    frame.longAddress = delimiter == MasterLong;
    const int addressBytes = frame.longAddress ? LongAddressBytes : 1;
    const int countAt = 1 + addressBytes + 1;
    if (bytes.size() <= countAt)
        return false;
    const int count = quint8(bytes.at(countAt));
    const int checkAt = countAt + 1 + count;
    if (checkAt >= bytes.size() || xorOf(bytes.left(checkAt)) != quint8(bytes.at(checkAt)))
        return false;
    frame.address = bytes.mid(1, addressBytes);
    frame.command = quint8(bytes.at(countAt - 1));
    frame.body = bytes.mid(countAt + 1, count);
    return true;
}

QByteArray HartSlaveFrame::replyBytes() const
{
    QByteArray bytes(1, char(longAddress ? AcknowledgeLong : AcknowledgeShort));
    bytes += address;
    bytes += char(command);
    bytes += char(body.size());
    bytes += body;
    return bytes + char(xorOf(bytes));
}
