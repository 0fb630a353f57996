#pragma once

#include <QString>

class QWidget;

// Asks the operator to confirm an action in a modal box. The box runs through InteractionHooks, so
// tests answer instead of a person.
class ConfirmPrompt
{
public:
    // A yes and a cancel button; Escape cancels.
    static bool ask(const QString& text, const QString& yesText, const QString& cancelText);
    // The question a file dialog asks before it replaces a file, in its words and with its buttons:
    // "No" is the default answer, so Return twice does not overwrite a file.
    static bool askReplace(const QString& title, const QString& fileName, QWidget* parent);
};
