#include "InteractionHooks.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

InteractionHooks::MessageBoxRunner& messageBoxRunner()
{
    static InteractionHooks::MessageBoxRunner runner;
    return runner;
}

InteractionHooks::SaveFileNameSource& saveFileNameSource()
{
    static InteractionHooks::SaveFileNameSource source;
    return source;
}

InteractionHooks::Clock& clockSource()
{
    static InteractionHooks::Clock source;
    return source;
}

}  // namespace

void InteractionHooks::runMessageBox(QMessageBox& box)
{
    if (messageBoxRunner())
        messageBoxRunner()(box);
    else
        box.exec();
}

QString InteractionHooks::saveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                       const QString& filter)
{
    if (saveFileNameSource())
        return saveFileNameSource()(parent, caption, proposed, filter);
    return QFileDialog::getSaveFileName(parent, caption, proposed, filter);
}

QDateTime InteractionHooks::now()
{
    return clockSource() ? clockSource()() : QDateTime::currentDateTime();
}

void InteractionHooks::setMessageBoxRunner(MessageBoxRunner runner)
{
    messageBoxRunner() = std::move(runner);
}

void InteractionHooks::setSaveFileNameSource(SaveFileNameSource source)
{
    saveFileNameSource() = std::move(source);
}

void InteractionHooks::setClock(Clock clock)
{
    clockSource() = std::move(clock);
}
