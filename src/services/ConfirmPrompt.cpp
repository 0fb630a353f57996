#include "ConfirmPrompt.h"

#include "InteractionHooks.h"

#include <QMessageBox>
#include <QPushButton>

bool ConfirmPrompt::ask(const QString& text, const QString& yesText, const QString& cancelText)
{
    QMessageBox box(QMessageBox::Information, QString(), text);
    QPushButton* yes = box.addButton(yesText, QMessageBox::YesRole);
    QPushButton* cancel = box.addButton(cancelText, QMessageBox::NoRole);
    box.setEscapeButton(cancel);
    InteractionHooks::runMessageBox(box);
    return box.clickedButton() == yes;
}
