#pragma once

#include <QByteArray>
#include <QDate>
#include <QTime>
#include <QtGlobal>

// The calibrator's real-time clock: bytes 0-16 of its type-2 memory, BCD with masked tens digits,
// read back as hexadecimal text (two characters a byte, byte 0 first).
class CalibratorClock
{
public:
    static constexpr int ImageSize = 17;

    // Fills out with the clock image and returns its length.
    static int encodeDateTime(const QDate& date, const QTime& time, quint8* out);
    // Characters 4-9 of the reply: an invalid time when they are missing or not digits of a time.
    static QTime parseDeviceTime(const QByteArray& reply);
    // Characters 10-13 of the reply; false when they are missing.
    static bool parseDeviceDate(const QByteArray& reply, int& day, int& month);
};
