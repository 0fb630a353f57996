#include "ParametrDouble.h"

#include <algorithm>
#include <cmath>
#include <limits>

ParametrDouble::ParametrDouble(const QString& caption, double minimum, double maximum, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags),
      m_minimum(minimum == unbounded ? std::numeric_limits<double>::lowest() : minimum),
      m_maximum(maximum == unbounded ? std::numeric_limits<double>::max() : maximum),
      m_value(clamped(0.0)),
      m_edited(m_value)
{
}

QString ParametrDouble::valueText() const
{
    const double shown = showsCommitted() ? m_value : m_edited;
    return QString::number(shown, 'g', 6).replace(QLatin1Char('.'), QLatin1Char(','));
}

void ParametrDouble::applyEdited()
{
    m_value = m_edited;
}

void ParametrDouble::revertEdited()
{
    m_edited = m_value;
}

void ParametrDouble::setValue(double value)
{
    if (std::isnan(value))
        return;
    m_value = clamped(value);
    m_edited = m_value;
}

void ParametrDouble::setEditedValue(double value)
{
    if (!std::isnan(value))
        m_edited = clamped(value);
}

double ParametrDouble::clamped(double value) const
{
    return std::max(m_minimum, std::min(value, m_maximum));
}
