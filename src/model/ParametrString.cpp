#include "ParametrString.h"

ParametrString::ParametrString(const QString& caption, int maximumLength, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags), m_maximumLength(maximumLength)
{
}

QString ParametrString::valueText() const
{
    return m_value;
}

void ParametrString::applyEdited()
{
    m_value = m_edited;
}

void ParametrString::revertEdited()
{
    m_edited = m_value;
}

void ParametrString::setValue(const QString& text)
{
    m_value = text;
    m_edited = text;
}
