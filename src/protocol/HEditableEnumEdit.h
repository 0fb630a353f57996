#pragma once

#include <QComboBox>

// An editable choice whose text counts as entered on Return or when the focus leaves it. The
// keypad's Enter is not Return: it commits on focus loss only.
class HEditableEnumEdit : public QComboBox
{
    Q_OBJECT
public:
    explicit HEditableEnumEdit(QWidget* parent = nullptr);
    ~HEditableEnumEdit() override;

signals:
    void onFocusLostEvent();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
