#include "InteractionHooks.h"

#include <QMessageBox>

namespace {

InteractionHooks::MessageBoxRunner& messageBoxRunner()
{
    static InteractionHooks::MessageBoxRunner runner;
    return runner;
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

QDateTime InteractionHooks::now()
{
    return clockSource() ? clockSource()() : QDateTime::currentDateTime();
}

void InteractionHooks::setMessageBoxRunner(MessageBoxRunner runner)
{
    messageBoxRunner() = std::move(runner);
}

void InteractionHooks::setClock(Clock clock)
{
    clockSource() = std::move(clock);
}
