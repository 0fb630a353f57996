#pragma once

#include <QByteArray>
#include <QString>

// Codec of the calibrator's ASCII frames. Requests: 0xFF ':' "addr;cmd;...;" CRC 0x0D 0xFF.
// Replies: [garbage] '!' "addr;data;" CRC 0x0D. The CRC is CRC-16/MODBUS written as decimal text.
class AsciiUail
{
public:
    static const QByteArray packageStart;
    static const QByteArray packageEnd;

    static QByteArray makePackage(const QString& command, quint8 address);
    static void makeSearchPackage(int address, QByteArray& out);

    static quint16 crc16(const QByteArray& data);
    static quint16 crc16Bitwise(const quint8* data, quint16 count);

    static bool unpackPackage(QByteArray& buffer, quint8 expectedAddress);
    static bool unpackPackageGetAddress(QByteArray& buffer, quint8& address);

    static bool isDataPackage(const QByteArray& data);
    static bool isOkAnswer(const QByteArray& data);
    static bool checkPackageNoErrorCode(const QByteArray& data);
    static QString errorCodeText(const QByteArray& data, const QString& deviceName);
    // The message of a register write the calibrator did not acknowledge; name may be empty.
    static QString writeErrorText(const QString& name);

    // Decodes hexadecimal text into at most n bytes. Returns the number of bytes written,
    // or -1 (nothing written) when the text has an odd length or a character that is not a hex digit.
    static int hexPairsToBytes(quint8* out, const QByteArray& text, int n);
    static bool isHexText(const QByteArray& text);

private:
    static void removeEcho(QByteArray& buffer);
    static bool splitReply(QByteArray& buffer, quint8* expectedAddress, quint8* address);
};
