#pragma once

#include "BoundedWait.h"
#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "MainWindow.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

// The main window on emulated calibrators, opened in the graduation and the factory mode, for the
// tests of the search, settings and graduation pages. Widgets are found by name under `scope`: the
// window, or the one page a test narrows it to. Pop-ups and requests count from the last reset.
class SetupWindowRig
{
public:
    explicit SetupWindowRig(int emulators = 1) : bench(emulators)
    {
        window.setStartMode(MainWindow::TuneWork);
        window.setStartMode(MainWindow::ServiceKey);
        window.setStartMode(MainWindow::ApplyModes);
    }

    DeviceTestBench bench;
    MainWindow window;
    const QObject* scope = &window;

    template <typename T>
    T* find(const char* name) const
    {
        return requireChild<T>(scope, name);
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    CalibratorEmulator& emulator(int index = 0) { return bench.emulator(index); }
    QStringList popUps() const { return bench.popUps().mid(m_popUpsBefore); }
    QStringList commands() { return emulatorCommands(emulator()); }

    void reset()
    {
        emulator().clearRequests();
        emulator().clearStatusReplies();
        m_popUpsBefore = bench.popUps().size();
    }

    // Connects to the first emulator as a calibrator of `type`, which starts a read of its settings.
    bool connect(int type = 70) { return bench.connectTo(0, 1, type) && settled(); }

    // Waits until no job holds the port and the window is unlocked. A worker hands the port back
    // before its end reaches the window, but the lock it sent as it started is queued by then:
    // delivered first, it keeps the window locked until the worker's unlock has come too.
    bool settled() const
    {
        return BoundedWait::until([this] {
            if (!g_device->portOwner()->isFree())
                return false;
            QCoreApplication::sendPostedEvents();
            return window.menuBar()->isEnabled();
        }, BoundedWait::jobMs);
    }

private:
    int m_popUpsBefore = 0;
};
