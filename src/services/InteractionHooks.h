#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class QMessageBox;

// What a page asks of the user and of the clock. Each hook defaults to the real thing (a modal box,
// the system time); tests replace them to drive the real page without modal boxes. File dialogs go
// through FileChooser.
class InteractionHooks
{
public:
    using MessageBoxRunner = std::function<void(QMessageBox&)>;
    using Clock = std::function<QDateTime()>;

    // Shows the box modally; its clicked button tells the answer.
    static void runMessageBox(QMessageBox& box);
    static QDateTime now();

    // A null hook restores the real one.
    static void setMessageBoxRunner(MessageBoxRunner runner);
    static void setClock(Clock clock);
};
