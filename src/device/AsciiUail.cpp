#include "AsciiUail.h"

#include "Crc16.h"

#include <QCoreApplication>
#include <QDebug>
#include <array>

const QByteArray AsciiUail::packageStart = QByteArray("\xFF\x3A", 2);
const QByteArray AsciiUail::packageEnd = QByteArray("\x0D\xFF", 2);

namespace {

constexpr char carriageReturn = '\r';

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

QByteArray AsciiUail::makePackage(const QString& command, quint8 address)
{
    const QByteArray body = (QString::number(address) + ';' + command + ';').toLatin1();
    return packageStart + body + QByteArray::number(crc16(body)) + packageEnd;
}

void AsciiUail::makeSearchPackage(int address, QByteArray& out)
{
    out = makePackage(QStringLiteral("0"), quint8(address));
}

quint16 AsciiUail::crc16(const QByteArray& data)
{
    return Crc16::tableModbus(data);
}

quint16 AsciiUail::crc16Bitwise(const quint8* data, quint16 count)
{
    return Crc16::bitwiseModbus(data, count);
}

// The calibrator echoes the request (which ends in CR 0xFF) before its reply; keep only what
// lies between the first and the last carriage return.
void AsciiUail::removeEcho(QByteArray& buffer)
{
    const int first = buffer.indexOf(carriageReturn);
    const int last = buffer.lastIndexOf(carriageReturn);
    if (first >= 0 && last > first)
        buffer = buffer.mid(first, last - first);
}

bool AsciiUail::splitReply(QByteArray& buffer, quint8* expectedAddress, quint8* address)
{
    const int bang = buffer.indexOf('!');
    const int start = bang < 0 ? 0 : bang + 1;
    const int semi = buffer.lastIndexOf(';');
    const int cr = buffer.lastIndexOf(carriageReturn);
    if (semi < 0 || start > semi || cr < 0)
        return false;

    const QByteArray body = buffer.mid(start, semi - start + 1);
    const QByteArray checkText = cr < semi ? buffer.mid(semi + 1) : buffer.mid(semi + 1, cr - semi - 1);
    bool numeric = false;
    quint16 check = checkText.toUShort(&numeric);
    if (!numeric)
        check = 0;
    if (crc16(body) != check)
        return false;

    const int dataSemi = semi > 0 ? buffer.lastIndexOf(';', semi - 1) : -1;
    if (dataSemi < start)
        return false;
    bool addressOk = false;
    const uint addressValue = buffer.mid(start, dataSemi - start).toUInt(&addressOk);
    if (!addressOk)
        return false;
    if (expectedAddress && quint8(addressValue & 0xFF) != *expectedAddress)
        return false;
    if (address)
        *address = quint8(addressValue & 0xFF);
    buffer = buffer.mid(dataSemi + 1, semi - dataSemi - 1);
    return true;
}

bool AsciiUail::unpackPackage(QByteArray& buffer, quint8 expectedAddress)
{
    removeEcho(buffer);
    return splitReply(buffer, &expectedAddress, nullptr);
}

bool AsciiUail::unpackPackageGetAddress(QByteArray& buffer, quint8& address)
{
    return splitReply(buffer, nullptr, &address);
}

bool AsciiUail::isDataPackage(const QByteArray& data)
{
    return !data.isEmpty() && data.at(0) != '$';
}

bool AsciiUail::isOkAnswer(const QByteArray& data)
{
    return data == "$0";
}

bool AsciiUail::checkPackageNoErrorCode(const QByteArray& data)
{
    if (isDataPackage(data))
        return true;
    qDebug() << "AsciiUail::checkPackageNoErrorCode GET ERROR CODE: " << data;
    return false;
}

QString AsciiUail::writeErrorText(const QString& name)
{
    if (name.isEmpty())
        return QCoreApplication::translate("QObject", "При записи параметров произошла ошибка!");
    return QCoreApplication::translate("QObject", "При записи параметра \"") + name
           + QCoreApplication::translate("QObject", "\" произошла ошибка!");
}

QString AsciiUail::errorCodeText(const QByteArray& data, const QString& deviceName)
{
    bool ok = false;
    const int code = data.mid(1).toInt(&ok);
    if (!ok)
        return QCoreApplication::translate("QObject", "Неизвестная ошибка");
    switch (code) {
    case 13:
        return QCoreApplication::translate("QObject", "Интерфейс HART - ") + deviceName
               + QCoreApplication::translate("QObject", " занят, предыдущая транзакция по HART не окончена.");
    case 14:
        return QCoreApplication::translate("QObject", "Произошёл таймаут посылки, адресуемое HART-устройство не отвечает.");
    case 15:
        return QCoreApplication::translate("QObject", "HART-устройство не подключено.");
    case 16:
        return QCoreApplication::translate("QObject", "HART протокол на устройстве не включен.");
    default:
        return deviceName + QCoreApplication::translate("QObject", " ответил кодом ошибки №") + QString::number(code) + '.';
    }
}

bool AsciiUail::isHexText(const QByteArray& text)
{
    if (text.size() % 2 != 0)
        return false;
    for (const char c : text)
        if (hexDigit(c) < 0)
            return false;
    return true;
}

int AsciiUail::hexPairsToBytes(quint8* out, const QByteArray& text, int n)
{
    if (!isHexText(text))
        return -1;
    const int count = qMin(n, text.size() / 2);
    for (int i = 0; i < count; ++i)
        out[i] = quint8(16 * hexDigit(text.at(2 * i)) + hexDigit(text.at(2 * i + 1)));
    return qMax(count, 0);
}
