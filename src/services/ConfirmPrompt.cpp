#include "ConfirmPrompt.h"

#include "InteractionHooks.h"

#include <QFileDialog>
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

bool ConfirmPrompt::askReplace(const QString& title, const QString& fileName, QWidget* parent)
{
    QMessageBox box(QMessageBox::Warning, title,
                    QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(fileName),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    InteractionHooks::runMessageBox(box);
    return box.clickedButton() == box.button(QMessageBox::Yes);
}
