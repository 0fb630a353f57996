#pragma once

#include <QByteArray>
#include <QDateTime>

// The calibrator's type-2 memory as one byte image: bytes 0-16 the real-time clock, whose byte 16
// (the year less 2000) is also byte 0 of the settings image at 16-65, and byte 67 the reference
// module in use. The clock stands still unless it is written. Count 4 moves up to 32 bytes as
// hexadecimal text, never past byte 66; count 1 moves one byte as a decimal number.
// Not locked: its owner locks.
class MemoryImage
{
public:
    // The count field of a request: a block of hexadecimal text, or one decimal byte.
    static constexpr int BlockCount = 4;
    static constexpr int ByteCount = 1;
    static constexpr int Size = 68;
    static constexpr int BlockEnd = 66;
    static constexpr int BlockBytes = 32;
    static constexpr int ClockBytes = 17;

    static bool holds(int address) { return address >= 0 && address < Size; }
    // The clock bytes as the calibrator keeps them (BCD, 0x80 in byte 0).
    static QByteArray clockBytes(const QDateTime& time);

    // Reply data of a read or write request; "$2" for what the image does not hold.
    QByteArray read(int address, int count) const;
    QByteArray write(int address, int count, const QByteArray& data);

    void setBytes(int address, const QByteArray& bytes);
    QByteArray bytes(int address, int count) const;

private:
    QByteArray m_bytes = QByteArray(Size, '\0');
};
