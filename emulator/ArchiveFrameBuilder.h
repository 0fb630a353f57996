#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QtGlobal>

// 64-byte archive frames as the calibrator stores them (little-endian, IEEE 754 floats, the
// CRC-16/MODBUS of bytes 0..61 in bytes 62..63), for tests and the emulator's sample archive.
class ArchiveFrameBuilder
{
public:
    // What clearing writes: unit code 0xAA, zeros, and a good check value.
    static QByteArray cleared();
    // A measurement with a good check value; unitCode is the unit index + 5 (5..15 are valid).
    static QByteArray measurement(quint8 unitCode, float reference, float measured, float error, quint32 serial);
    // The same frame measured over HART: flag set, HART pressure and error filled, check value renewed.
    static QByteArray withHart(QByteArray frame, float pressure, float error);
    static QByteArray withBadCheck(QByteArray frame);
    static QByteArray withTime(QByteArray frame, const QDateTime& time);
    static QByteArray withErrorCode(QByteArray frame, quint8 code);
    static QByteArray withModuleSerial(QByteArray frame, quint32 serial);
    static QByteArray withTemperature(QByteArray frame, float celsius);
    // Frame `index` of a varied archive, the same on every call: sensors serialA and serialB, kPa
    // and MPa, every third frame over HART, every tenth with error code 3, four hours apart from
    // 15 January 2024 on (512 frames span about three months).
    static QByteArray mixed(int index, quint32 serialA = 123, quint32 serialB = 45678);

private:
    static void putFloat(QByteArray& frame, int offset, float value);
    static void putU24(QByteArray& frame, int offset, quint32 value);
    static QByteArray sealed(QByteArray frame);
};
