#include "QuitOnSignal.h"
#include "StartUp.h"
#include "Workstation.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    StartUp::prepareEnvironment();
    QApplication app(argc, argv);
    QuitOnSignal quitOnSignal;
    StartUp::initApplication();
    Workstation workstation(argc, argv);
    QObject::connect(&quitOnSignal, &QuitOnSignal::quitRequested, &workstation.window(), &MainWindow::quit);
    workstation.window().show();
    return app.exec();
}
