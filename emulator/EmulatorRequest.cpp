#include "EmulatorRequest.h"

#include "AsciiUail.h"

namespace {

constexpr int CheckMaxDigits = 5;

bool isDecimal(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

int decimalOrMinusOne(const QByteArray& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return isDecimal(text) && ok ? value : -1;
}

bool checkMatches(const QByteArray& body, const QByteArray& check)
{
    return isDecimal(check) && check.size() <= CheckMaxDigits && check.toUInt() == AsciiUail::crc16(body);
}

}  // namespace

int EmulatorRequest::commandNumber() const
{
    return decimalOrMinusOne(command.section(QLatin1Char(';'), 0, 0).toLatin1());
}

EmulatorRequest EmulatorRequest::fromFrame(const QByteArray& frame, qint64 timeUs)
{
    EmulatorRequest request;
    request.timeUs = timeUs;
    request.frame = frame;
    const int markers = AsciiUail::packageStart.size() + AsciiUail::packageEnd.size();
    if (frame.size() < markers)
        return request;
    const QByteArray inner = frame.mid(AsciiUail::packageStart.size(), frame.size() - markers);
    const int lastSemicolon = inner.lastIndexOf(';');
    if (lastSemicolon < 0)
        return request;
    const QByteArray body = inner.left(lastSemicolon + 1);
    request.validCrc = checkMatches(body, inner.mid(lastSemicolon + 1));
    const int firstSemicolon = body.indexOf(';');
    request.address = decimalOrMinusOne(body.left(firstSemicolon));
    if (firstSemicolon < lastSemicolon)
        request.command = QString::fromLatin1(body.mid(firstSemicolon + 1, lastSemicolon - firstSemicolon - 1));
    return request;
}
