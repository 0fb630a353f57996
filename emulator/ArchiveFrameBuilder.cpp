#include "ArchiveFrameBuilder.h"

#include "AsciiUail.h"
#include "CalibratorMap.h"

#include <QtEndian>

namespace {

constexpr int checkedSize = 62;
constexpr quint8 clearedUnitCode = 0xAA;
constexpr int unitOffset = 0;
constexpr int hartFlagOffset = 3;
constexpr int referenceOffset = 4;
constexpr int measuredOffset = 8;
constexpr int hartPressureOffset = 12;
constexpr int errorOffset = 24;
constexpr int hartErrorOffset = 28;
constexpr int timeOffset = 44;  // day, month, year - 2000, hour, minute, second
constexpr int serialOffset = 50;

}  // namespace

QByteArray ArchiveFrameBuilder::cleared()
{
    QByteArray frame(CalibratorMap::ArchiveFrameBytes, '\0');
    frame[unitOffset] = char(clearedUnitCode);
    return sealed(frame);
}

QByteArray ArchiveFrameBuilder::measurement(quint8 unitCode, float reference, float measured, float error,
                                            quint32 serial)
{
    QByteArray frame(CalibratorMap::ArchiveFrameBytes, '\0');
    frame[unitOffset] = char(unitCode);
    putFloat(frame, referenceOffset, reference);
    putFloat(frame, measuredOffset, measured);
    putFloat(frame, errorOffset, error);
    for (int i = 0; i < 3; ++i)
        frame[serialOffset + i] = char((serial >> (8 * i)) & 0xFF);
    return sealed(frame);
}

QByteArray ArchiveFrameBuilder::withHart(QByteArray frame, float pressure, float error)
{
    frame[hartFlagOffset] = 1;
    putFloat(frame, hartPressureOffset, pressure);
    putFloat(frame, hartErrorOffset, error);
    return sealed(frame);
}

QByteArray ArchiveFrameBuilder::withTime(QByteArray frame, const QDateTime& time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    const int fields[] = {date.day(), date.month(), date.year() - 2000, clock.hour(), clock.minute(), clock.second()};
    for (int i = 0; i < 6; ++i)
        frame[timeOffset + i] = char(fields[i]);
    return sealed(frame);
}

QByteArray ArchiveFrameBuilder::withBadCheck(QByteArray frame)
{
    frame[checkedSize] = char(frame.at(checkedSize) ^ 0x5A);
    return frame;
}

void ArchiveFrameBuilder::putFloat(QByteArray& frame, int offset, float value)
{
    char bytes[sizeof value];
    qToLittleEndian<float>(value, bytes);
    frame.replace(offset, int(sizeof value), bytes, int(sizeof value));
}

QByteArray ArchiveFrameBuilder::sealed(QByteArray frame)
{
    const quint16 check = AsciiUail::crc16Bitwise(reinterpret_cast<const quint8*>(frame.constData()), checkedSize);
    frame[checkedSize] = char(check & 0xFF);
    frame[checkedSize + 1] = char(check >> 8);
    return frame;
}
