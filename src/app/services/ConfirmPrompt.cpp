#include "ConfirmPrompt.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

ConfirmPrompt::Sink& sink()
{
    static ConfirmPrompt::Sink instance;
    return instance;
}

}  // namespace

bool ConfirmPrompt::ask(const QString& text, const QString& yesText, const QString& cancelText)
{
    if (sink())
        return sink()(text);
    QMessageBox box;
    box.setInformativeText(text);
    QPushButton* yes = box.addButton(yesText, QMessageBox::YesRole);
    QPushButton* cancel = box.addButton(cancelText, QMessageBox::NoRole);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == yes;
}

void ConfirmPrompt::setSink(Sink sink)
{
    ::sink() = std::move(sink);
}
