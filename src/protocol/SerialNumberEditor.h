#pragma once

#include <QSpinBox>

// A serial number shown zero-filled to a number of digits; a longer number is shown whole.
class SerialNumberEditor : public QSpinBox
{
    Q_OBJECT
public:
    explicit SerialNumberEditor(QWidget* parent = nullptr);
    ~SerialNumberEditor() override;

    // Takes effect on the shown text at the next value change; text() uses it at once.
    void setDigits(int digits) { m_digits = digits; }
    int digits() const { return m_digits; }
    QString text() const;

protected:
    QString textFromValue(int value) const override;

private:
    int m_digits = 5;
};
