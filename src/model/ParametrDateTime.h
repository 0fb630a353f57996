#pragma once

#include "HAbstractParametr.h"

#include <QDateTime>

// Holds one value only; the calibrator's clock travels as six bytes.
class ParametrDateTime : public HAbstractParametr
{
public:
    static constexpr int TypeId = 8;
    static constexpr int deviceByteCount = 6;

    // The default limits, offered to editors, are the years the calibrator's one-byte year holds.
    ParametrDateTime(const QString& caption, quint8 flags);
    ParametrDateTime(const QString& caption, const QDateTime& minimum, const QDateTime& maximum,
                     quint8 flags);

    // "6.3.2024  9:5:7"; an invalid value shows nothing.
    QString valueText() const override;

    void setValue(const QDateTime& value) { m_value = value; }
    QDateTime value() const { return m_value; }
    QDateTime minimum() const { return m_minimum; }
    QDateTime maximum() const { return m_maximum; }

    // [year - 2000, month, day, hour, minute, second]
    void toDeviceBytes(quint8* bytes) const;
    void fromDeviceBytes(const quint8* bytes);

private:
    QDateTime m_minimum;
    QDateTime m_maximum;
    QDateTime m_value;
};
