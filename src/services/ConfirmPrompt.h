#pragma once

#include <QString>

// Asks the operator to confirm an action in a modal box with a yes and a cancel button (Escape
// cancels). The box runs through InteractionHooks, so tests answer instead of a person.
class ConfirmPrompt
{
public:
    static bool ask(const QString& text, const QString& yesText, const QString& cancelText);
};
