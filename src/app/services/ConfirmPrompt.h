#pragma once

#include <QString>
#include <functional>

// Asks the operator to confirm an action in a modal box with a yes and a cancel button (Escape
// cancels). One replaceable sink, so tests answer instead of a person.
class ConfirmPrompt
{
public:
    using Sink = std::function<bool(const QString& text)>;

    static bool ask(const QString& text, const QString& yesText, const QString& cancelText);
    static void setSink(Sink sink);
};
