#include "Workstation.h"

#include "StartUp.h"

Workstation::Workstation(int argc, char** argv)
{
    m_device.init();
    m_window = std::make_unique<MainWindow>();
    StartUp::parseArguments(argc, argv, m_window.get());
}
