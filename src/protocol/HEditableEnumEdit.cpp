#include "HEditableEnumEdit.h"

#include <QKeyEvent>

HEditableEnumEdit::HEditableEnumEdit(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
}

HEditableEnumEdit::~HEditableEnumEdit() = default;

void HEditableEnumEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return)
        emit onFocusLostEvent();
    QComboBox::keyPressEvent(event);
}

void HEditableEnumEdit::focusOutEvent(QFocusEvent* event)
{
    emit onFocusLostEvent();
    QComboBox::focusOutEvent(event);
}
