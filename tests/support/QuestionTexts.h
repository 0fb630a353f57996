#pragma once

#include "StartUp.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QtTest>

// Qt's Russian texts as the program loads them at start-up; the program's own translation file is
// absent in the tests, as it is beside the program.
inline void loadQtRussianAsAtStartUp()
{
    StartUp::loadTranslator();
}

// The buttons of a question as the operator reads them; the one that Return presses in brackets.
inline QString buttonTexts(const QMessageBox& box)
{
    QStringList texts;
    for (const QAbstractButton* button : box.buttons())
        texts << (button == box.defaultButton() ? '[' + button->text() + ']' : button->text());
    return texts.join(QStringLiteral(" | "));
}
