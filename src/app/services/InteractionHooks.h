#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// What a page asks of the user and of the clock. Each hook defaults to the real thing (a modal box,
// the file dialog, the system time); tests replace them to drive the real page without modal boxes.
class InteractionHooks
{
public:
    using MessageBoxRunner = std::function<void(QMessageBox&)>;
    using SaveFileNameSource =
        std::function<QString(QWidget* parent, const QString& caption, const QString& proposed, const QString& filter)>;
    using Clock = std::function<QDateTime()>;

    // Shows the box modally; its clicked button tells the answer.
    static void runMessageBox(QMessageBox& box);
    // Empty when the user cancelled.
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                const QString& filter);
    static QDateTime now();

    // A null hook restores the real one.
    static void setMessageBoxRunner(MessageBoxRunner runner);
    static void setSaveFileNameSource(SaveFileNameSource source);
    static void setClock(Clock clock);
};
