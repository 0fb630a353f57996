#pragma once

#include "MainWindow.h"
#include "StartUp.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <vector>

// Hands the window the start modes of a command line made of the program name and switches.
inline void applyStartSwitches(MainWindow* window, const QStringList& switches)
{
    QList<QByteArray> storage{"arm_zfn"};
    for (const QString& argument : switches)
        storage << argument.toLatin1();
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    StartUp::parseArguments(int(argv.size()), argv.data(), window);
}
