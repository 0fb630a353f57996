#pragma once

#include "InteractionHooks.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QString>
#include <functional>

// Answers every yes/no question a page asks instead of a person: `answer` gets the question and
// says whether the yes button is clicked (else the cancel button is). Null restores the real box.
inline void answerQuestions(std::function<bool(const QMessageBox& box)> answer)
{
    if (!answer) {
        InteractionHooks::setMessageBoxRunner(nullptr);
        return;
    }
    InteractionHooks::setMessageBoxRunner([answer](QMessageBox& box) {
        const QMessageBox::ButtonRole role = answer(box) ? QMessageBox::YesRole : QMessageBox::NoRole;
        for (QAbstractButton* button : box.buttons())
            if (box.buttonRole(button) == role) {
                button->click();
                return;
            }
    });
}
