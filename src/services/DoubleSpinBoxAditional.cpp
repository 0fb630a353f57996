#include "DoubleSpinBoxAditional.h"

#include <QDoubleValidator>

DoubleSpinBoxAditional::DoubleSpinBoxAditional(QWidget* parent)
    : QDoubleSpinBox(parent), m_validator(new QDoubleValidator(this))
{
    // The text is written and read with a point whatever the system's locale.
    m_validator->setLocale(QLocale::c());
}

void DoubleSpinBoxAditional::setSuffixText(const QString& text)
{
    m_suffixText = text;
    // Setting the decimals again redraws the text and has the size hint count the suffix.
    setDecimals(decimals());
}

QString DoubleSpinBoxAditional::suffixText() const
{
    return m_suffixText;
}

QString DoubleSpinBoxAditional::textFromValue(double value) const
{
    return QString::number(value, 'f', decimals()) + m_suffixText;
}

double DoubleSpinBoxAditional::valueFromText(const QString& text) const
{
    return withoutSuffix(text).toDouble();
}

// The line edit holds the suffix too; only the number before it is the validator's.
QValidator::State DoubleSpinBoxAditional::validate(QString& input, int& pos) const
{
    QString number = withoutSuffix(input);
    int numberPos = qMin(pos, number.size());
    return m_validator->validate(number, numberPos);
}

QString DoubleSpinBoxAditional::withoutSuffix(QString text) const
{
    return m_suffixText.isEmpty() ? text : text.remove(m_suffixText);
}
