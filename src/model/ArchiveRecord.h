#pragma once

#include <QByteArray>
#include <QString>
#include <array>

// One frame of the calibrator's measurement archive with the position it was read from. The
// 64 frame bytes are kept exactly as the calibrator stores them (little-endian, IEEE 754 floats);
// the index follows them as a little-endian u32 in archive files.
class ArchiveRecord
{
public:
    static constexpr int frameSize = 64;
    static constexpr int recordSize = 68;
    static constexpr quint8 clearedUnitCode = 0xAA;

    ArchiveRecord();
    // frame points at frameSize bytes.
    ArchiveRecord(const quint8* frame, quint32 index);

    // Record of an archive file; false unless bytes holds exactly recordSize bytes.
    static bool fromBytes(const QByteArray& bytes, ArchiveRecord* record);
    QByteArray toBytes() const;

    // A good check value and the code of one of the eleven pressure units.
    bool isValid() const;

    quint32 index() const { return m_index; }
    quint8 unitCode() const { return m_frame[0]; }
    int unitIndex() const;
    quint8 errorCode() const { return m_frame[1]; }
    quint8 hartOnline() const { return m_frame[3]; }
    float reference() const;
    float measured() const;
    float hartPressure() const;
    float error() const;
    float hartError() const;
    float temperature() const;
    quint8 day() const { return m_frame[44]; }
    quint8 month() const { return m_frame[45]; }
    // Years since 2000.
    quint8 year() const { return m_frame[46]; }
    quint8 hour() const { return m_frame[47]; }
    quint8 minute() const { return m_frame[48]; }
    quint8 second() const { return m_frame[49]; }
    // "dd.MM.yy / hh:mm:ss"
    QString dateTimeText() const;
    // Orders frames by their time, year first.
    quint64 timeKey() const;
    quint32 deviceSerial() const;
    quint32 moduleSerial() const;
    quint16 checkValue() const;

private:
    float floatAt(int offset) const;
    quint32 u24At(int offset) const;

    std::array<quint8, frameSize> m_frame{};
    quint32 m_index = 0;
};
