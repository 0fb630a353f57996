#pragma once

#include "DeviceZFN.h"
#include "MainWindow.h"

// The device object and the main window in the order the program needs them: the device exists
// before the window's tabs connect to it and outlives the window, so the release frame goes out
// after the window is gone. The device's messages become modal boxes here.
class Workstation
{
public:
    Workstation(int argc, char** argv);

    MainWindow& window() { return *m_window; }

private:
    DeviceZFN m_device;
    std::unique_ptr<MainWindow> m_window;
};
