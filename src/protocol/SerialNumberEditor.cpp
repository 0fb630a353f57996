#include "SerialNumberEditor.h"

SerialNumberEditor::SerialNumberEditor(QWidget* parent) : QSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::NoButtons);
}

SerialNumberEditor::~SerialNumberEditor() = default;

QString SerialNumberEditor::text() const
{
    return textFromValue(value());
}

QString SerialNumberEditor::textFromValue(int value) const
{
    return QStringLiteral("%1").arg(value, m_digits, 10, QLatin1Char('0'));
}
