#include "ParametrInt.h"

#include <algorithm>

ParametrInt::ParametrInt(const QString& caption, int minimum, int maximum, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags),
      m_minimum(minimum),
      m_maximum(std::max(minimum, maximum)),
      m_value(clamped(0)),
      m_edited(m_value)
{
}

QString ParametrInt::valueText() const
{
    return QString::number(shownValue());
}

void ParametrInt::applyEdited()
{
    m_value = m_edited;
}

void ParametrInt::revertEdited()
{
    m_edited = m_value;
}

void ParametrInt::setValue(int value)
{
    m_value = clamped(value);
    m_edited = m_value;
}

void ParametrInt::setEditedValue(int value)
{
    m_edited = clamped(value);
}

QString ParametrInt::hexText(bool hex) const
{
    if (!hex)
        return valueText();
    return QStringLiteral("0x") + QString::number(shownValue(), 16).toUpper();
}

int ParametrInt::shownValue() const
{
    return showsCommitted() ? m_value : m_edited;
}

int ParametrInt::clamped(int value) const
{
    return std::clamp(value, m_minimum, m_maximum);
}
