#include "ArchiveFrameBuilder.h"

#include "AsciiUail.h"
#include "CalibratorMap.h"

#include <QtEndian>

namespace {

constexpr int checkedSize = 62;
constexpr quint8 clearedUnitCode = 0xAA;
constexpr int unitOffset = 0;
constexpr int errorCodeOffset = 1;
constexpr int hartFlagOffset = 3;
constexpr int referenceOffset = 4;
constexpr int measuredOffset = 8;
constexpr int hartPressureOffset = 12;
constexpr int errorOffset = 24;
constexpr int hartErrorOffset = 28;
constexpr int temperatureOffset = 40;
constexpr int timeOffset = 44;  // day, month, year - 2000, hour, minute, second
constexpr int serialOffset = 50;
constexpr int moduleSerialOffset = 53;

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
    putU24(frame, serialOffset, serial);
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

QByteArray ArchiveFrameBuilder::withErrorCode(QByteArray frame, quint8 code)
{
    frame[errorCodeOffset] = char(code);
    return sealed(frame);
}

QByteArray ArchiveFrameBuilder::withModuleSerial(QByteArray frame, quint32 serial)
{
    putU24(frame, moduleSerialOffset, serial);
    return sealed(frame);
}

QByteArray ArchiveFrameBuilder::withTemperature(QByteArray frame, float celsius)
{
    putFloat(frame, temperatureOffset, celsius);
    return sealed(frame);
}

QByteArray ArchiveFrameBuilder::mixed(int index, quint32 serialA, quint32 serialB)
{
    constexpr quint8 kilopascalCode = 6;
    constexpr quint8 megapascalCode = 7;
    // Computed in double and rounded to single precision once, as the calibrator stores a reading:
    // 450 kPa in MPa is then 0.45, not the 0.45000002 of a product of floats.
    constexpr double span = 1600.0;
    const bool megapascal = (index / 5) % 2 == 1;
    const double referenceKpa = 100.0 + double((index * 37) % 150) * 10.0;
    const double deviation = double((index * 13) % 21 - 10) * 0.05;
    const double scale = megapascal ? 0.001 : 1.0;
    const double error = deviation * 100.0 / span;
    QByteArray frame = measurement(megapascal ? megapascalCode : kilopascalCode, float(referenceKpa * scale),
                                   float((referenceKpa + deviation) * scale), float(error),
                                   index % 4 == 3 ? serialB : serialA);
    if (index % 3 == 1)
        frame = withHart(frame, float((referenceKpa + deviation * 0.5) * scale), float(error * 0.5));
    if (index % 10 == 9)
        frame = withErrorCode(frame, 3);
    frame = withModuleSerial(frame, 1234567);
    frame = withTemperature(frame, 20.0f + float(index % 7) * 0.5f);
    const QDateTime start(QDate(2024, 1, 15), QTime(8, 0));
    return withTime(frame, start.addSecs(4 * 3600 * qint64(index)));
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

void ArchiveFrameBuilder::putU24(QByteArray& frame, int offset, quint32 value)
{
    for (int i = 0; i < 3; ++i)
        frame[offset + i] = char((value >> (8 * i)) & 0xFF);
}

QByteArray ArchiveFrameBuilder::sealed(QByteArray frame)
{
    const quint16 check = AsciiUail::crc16Bitwise(reinterpret_cast<const quint8*>(frame.constData()), checkedSize);
    frame[checkedSize] = char(check & 0xFF);
    frame[checkedSize + 1] = char(check >> 8);
    return frame;
}
