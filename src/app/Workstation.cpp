#include "Workstation.h"

#include "ConfiguratorModule.h"
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
    // Owned by the device object, which hands it to the pages without knowing its class.
    m_device.setConfiguratorModule(new ConfiguratorModule(&m_device));
    m_window = std::make_unique<MainWindow>();
    m_device.configuratorModule()->setDialogParent(m_window.get());
    StartUp::parseArguments(argc, argv, m_window.get());
}
