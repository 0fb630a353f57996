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

private:
    static void putFloat(QByteArray& frame, int offset, float value);
    static QByteArray sealed(QByteArray frame);
};
