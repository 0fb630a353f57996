#pragma once

#include <QList>

class MainWindow;

// The start-up steps of main that tests run on their own.
class StartUp
{
public:
    // What main sets before the application object exists.
    static void prepareEnvironment();
    // Everything main does between the application object and the device object.
    static void initApplication();
    // Qt's Russian texts, then the program's own translation when its file is there.
    static void loadTranslator();
    static void parseArguments(int argc, char** argv, MainWindow* window);
    // The modes in the order they are handed to the main window; mode 2 (apply) always comes last.
    static QList<int> startModes(int argc, char** argv);
};
