#include "ParametrTime.h"

ParametrTime::ParametrTime(const QString& caption, quint8 flags)
    : ParametrTime(caption, QTime(0, 0, 0, 0), QTime(23, 59, 59, 999), flags)
{
}

ParametrTime::ParametrTime(const QString& caption, const QTime& minimum, const QTime& maximum,
                           quint8 flags)
    : HAbstractParametr(TypeId, caption, flags), m_minimum(minimum), m_maximum(maximum)
{
}

QString ParametrTime::valueText() const
{
    const QTime& shown = showsCommitted() ? m_value : m_edited;
    if (!shown.isValid())
        return QString();
    QString text;
    if (shown.hour() != 0)
        text += QString::number(shown.hour()) + QStringLiteral(" час  ");
    if (shown.minute() != 0)
        text += QString::number(shown.minute()) + QStringLiteral(" мин  ");
    if (shown.second() != 0 || shown.msec() != 0 || text.isEmpty())
        text += secondsText(shown) + QStringLiteral(" сек  ");
    return text;
}

void ParametrTime::applyEdited()
{
    m_value = m_edited;
}

void ParametrTime::revertEdited()
{
    m_edited = m_value;
}

void ParametrTime::setValue(const QTime& value)
{
    m_value = clamped(value);
    m_edited = m_value;
}

void ParametrTime::setEditedValue(const QTime& value)
{
    m_edited = clamped(value);
}

QString ParametrTime::secondsText(const QTime& time)
{
    return QString::number(time.second() + time.msec() / 1000.0, 'g', 6);
}

QTime ParametrTime::clamped(const QTime& value) const
{
    if (!value.isValid())
        return value;
    if (value < m_minimum)
        return m_minimum;
    if (value > m_maximum)
        return m_maximum;
    return value;
}
