#include "ParametrDateTime.h"

#include "ParametrTime.h"

#include <algorithm>

namespace {
constexpr int deviceBaseYear = 2000;
constexpr int deviceLastYear = deviceBaseYear + 255;
}  // namespace

ParametrDateTime::ParametrDateTime(const QString& caption, quint8 flags)
    : ParametrDateTime(caption, QDateTime(QDate(deviceBaseYear, 1, 1), QTime(0, 0)),
                       QDateTime(QDate(deviceLastYear, 12, 31), QTime(23, 59, 59, 999)), flags)
{
}

ParametrDateTime::ParametrDateTime(const QString& caption, const QDateTime& minimum,
                                   const QDateTime& maximum, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags), m_minimum(minimum), m_maximum(maximum)
{
}

QString ParametrDateTime::valueText() const
{
    if (!m_value.isValid())
        return QString();
    const QDate date = m_value.date();
    const QTime time = m_value.time();
    return QStringLiteral("%1.%2.%3  %4:%5:%6")
        .arg(date.day())
        .arg(date.month())
        .arg(date.year())
        .arg(time.hour())
        .arg(time.minute())
        .arg(ParametrTime::secondsText(time));
}

void ParametrDateTime::toDeviceBytes(quint8* bytes) const
{
    const QDate date = m_value.date();
    const QTime time = m_value.time();
    bytes[0] = quint8(std::clamp(date.year() - deviceBaseYear, 0, 255));
    bytes[1] = quint8(date.month());
    bytes[2] = quint8(date.day());
    bytes[3] = quint8(time.hour());
    bytes[4] = quint8(time.minute());
    bytes[5] = quint8(time.second());
}

void ParametrDateTime::fromDeviceBytes(const quint8* bytes)
{
    m_value = QDateTime(QDate(deviceBaseYear + bytes[0], bytes[1], bytes[2]),
                        QTime(bytes[3], bytes[4], bytes[5], 0), Qt::LocalTime);
}
