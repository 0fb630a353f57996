#include "Workstation.h"

#include "StartUp.h"

#include <QMessageBox>

Workstation::Workstation(int argc, char** argv)
{
    DeviceZFN::setPopUpSink([](const QString& text) {
        QMessageBox box;
        box.setText(text);
        box.exec();
    });
    m_device.init();
    m_device.setConfiguratorModule(&m_configurator);
    m_window = std::make_unique<MainWindow>();
    StartUp::parseArguments(argc, argv, m_window.get());
}
