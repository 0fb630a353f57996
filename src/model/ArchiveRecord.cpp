#include "ArchiveRecord.h"

#include "Crc16.h"
#include "PressureUnits.h"

#include <QtEndian>
#include <cstring>

namespace {

constexpr int unitCodeOffset = 5;
constexpr int checkedSize = 62;

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value % 100, 2, 10, QLatin1Char('0'));
}

}  // namespace

ArchiveRecord::ArchiveRecord() = default;

ArchiveRecord::ArchiveRecord(const quint8* frame, quint32 index) : m_index(index)
{
    std::memcpy(m_frame.data(), frame, frameSize);
}

bool ArchiveRecord::fromBytes(const QByteArray& bytes, ArchiveRecord* record)
{
    if (bytes.size() != recordSize)
        return false;
    const auto* data = reinterpret_cast<const quint8*>(bytes.constData());
    *record = ArchiveRecord(data, qFromLittleEndian<quint32>(data + frameSize));
    return true;
}

QByteArray ArchiveRecord::toBytes() const
{
    QByteArray bytes(recordSize, '\0');
    std::memcpy(bytes.data(), m_frame.data(), frameSize);
    qToLittleEndian<quint32>(m_index, bytes.data() + frameSize);
    return bytes;
}

bool ArchiveRecord::isValid() const
{
    const int unit = unitIndex();
    return checkValue() == Crc16::bitwiseModbus(m_frame.data(), checkedSize) && unit >= 0
        && unit < PressureUnits::unitCount;
}

int ArchiveRecord::unitIndex() const
{
    return int(unitCode()) - unitCodeOffset;
}

float ArchiveRecord::reference() const
{
    return floatAt(4);
}

float ArchiveRecord::measured() const
{
    return floatAt(8);
}

float ArchiveRecord::hartPressure() const
{
    return floatAt(12);
}

float ArchiveRecord::error() const
{
    return floatAt(24);
}

float ArchiveRecord::hartError() const
{
    return floatAt(28);
}

float ArchiveRecord::temperature() const
{
    return floatAt(40);
}

QString ArchiveRecord::dateTimeText() const
{
    return twoDigits(day()) + QLatin1Char('.') + twoDigits(month()) + QLatin1Char('.') + twoDigits(2000 + year())
        + QLatin1String(" / ") + twoDigits(hour()) + QLatin1Char(':') + twoDigits(minute()) + QLatin1Char(':')
        + twoDigits(second());
}

quint64 ArchiveRecord::timeKey() const
{
    return quint64(year()) << 40 | quint64(month()) << 32 | quint64(day()) << 24 | quint64(hour()) << 16
        | quint64(minute()) << 8 | quint64(second());
}

quint32 ArchiveRecord::deviceSerial() const
{
    return u24At(50);
}

quint32 ArchiveRecord::moduleSerial() const
{
    return u24At(53);
}

quint16 ArchiveRecord::checkValue() const
{
    return qFromLittleEndian<quint16>(m_frame.data() + checkedSize);
}

float ArchiveRecord::floatAt(int offset) const
{
    const quint32 bits = qFromLittleEndian<quint32>(m_frame.data() + offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

quint32 ArchiveRecord::u24At(int offset) const
{
    return quint32(m_frame[size_t(offset)]) | quint32(m_frame[size_t(offset) + 1]) << 8
        | quint32(m_frame[size_t(offset) + 2]) << 16;
}
