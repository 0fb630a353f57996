#include "CalibratorClock.h"

#include <algorithm>

namespace {

constexpr int secondsAt = 4;
constexpr int dayAt = 10;
constexpr int dateEnd = 14;

quint8 bcd(int value)
{
    return quint8((value / 10) * 16 + value % 10);
}

// Units digits, and the tens of seconds and minutes.
int digit(char c)
{
    return c - '0';
}

// Tens digits that carry flag bits above them: read as a hexadecimal digit, then masked.
int maskedTens(char c, int mask)
{
    const int value = c <= '9' ? c - '0' : c - 55;
    return value & mask;
}

}  // namespace

int CalibratorClock::encodeDateTime(const QDate& date, const QTime& time, quint8* out)
{
    const quint8 year = quint8(date.year() - 2000);
    std::fill(out, out + ImageSize, quint8(0));
    out[0] = 0x80;
    out[2] = bcd(time.second());
    out[3] = bcd(time.minute());
    out[4] = bcd(time.hour());
    out[5] = quint8(((year % 4) << 6) | bcd(date.day()));
    out[6] = bcd(date.month());
    out[16] = year;
    return ImageSize;
}

QTime CalibratorClock::parseDeviceTime(const QByteArray& reply)
{
    if (reply.size() < dayAt)
        return QTime();
    const char* c = reply.constData() + secondsAt;
    const int seconds = digit(c[0]) * 10 + digit(c[1]);
    const int minutes = digit(c[2]) * 10 + digit(c[3]);
    const int hours = maskedTens(c[4], 3) * 10 + digit(c[5]);
    return QTime(hours, minutes, seconds);
}

bool CalibratorClock::parseDeviceDate(const QByteArray& reply, int& day, int& month)
{
    if (reply.size() < dateEnd)
        return false;
    const char* c = reply.constData() + dayAt;
    day = maskedTens(c[0], 3) * 10 + digit(c[1]);
    month = maskedTens(c[2], 1) * 10 + digit(c[3]);
    return true;
}
