#pragma once

#include <QDoubleSpinBox>

class QDoubleValidator;

// A spin box that shows its value in fixed notation with its own suffix text after it (a unit,
// for example) and reads the value back from such a text.
class DoubleSpinBoxAditional : public QDoubleSpinBox
{
    Q_OBJECT
public:
    explicit DoubleSpinBoxAditional(QWidget* parent = nullptr);

    void setSuffixText(const QString& text);
    QString suffixText() const;

    QString textFromValue(double value) const override;
    double valueFromText(const QString& text) const override;
    QValidator::State validate(QString& input, int& pos) const override;

private:
    QString withoutSuffix(QString text) const;

    QString m_suffixText;
    QDoubleValidator* m_validator;
};
