#include "DeviceZFN.h"
#include "MainWindow.h"
#include "StartUp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StartUp::initApplication();

    DeviceZFN device;
    device.init();
    MainWindow window;
    StartUp::parseArguments(argc, argv, &window);
    window.show();
    return app.exec();
}
