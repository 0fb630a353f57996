#pragma once

class MainWindow;

// The start-up steps of main that tests run on their own.
class StartUp
{
public:
    static void loadTranslator();
    static void parseArguments(int argc, char** argv, MainWindow* window);
};
