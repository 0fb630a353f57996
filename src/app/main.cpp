#include "DeviceZFN.h"
#include "HartTextTables.h"
#include "MainWindow.h"
#include "StartUp.h"
#include "TextDiscription.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StartUp::loadTranslator();
    QCoreApplication::setOrganizationName(QStringLiteral("kpz"));
    QCoreApplication::setApplicationName(QCoreApplication::translate("QObject", "АРМ ЗФН"));

    initChoiceLists();
    initHartTextTables();

    DeviceZFN device;
    device.init();
    MainWindow window;
    StartUp::parseArguments(argc, argv, &window);
    window.show();
    return app.exec();
}
