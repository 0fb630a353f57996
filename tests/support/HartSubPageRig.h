#pragma once

#include "ChildLookup.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "HartMaster.h"
#include "MainWindow.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TabHart.h"

#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

// The main window over a calibrator with an emulated transmitter of the given variant and
// device-type key behind it, for tests of one sub-page of the HART tab.
class HartSubPageRig
{
public:
    explicit HartSubPageRig(HartVariant variant = HartVariant::Family, quint16 typeKey = 0x1234)
    {
        bench.emulator().attachHartTransmitter(variant);
        HartTransmitterState state = transmitter().state();
        state.manufacturerCode = quint8(typeKey >> 8);
        state.deviceTypeCode = quint8(typeKey);
        state.deviceId = QByteArray::fromHex("000102");
        transmitter().setState(state);
        if (!bench.connectTo(0))
            qFatal("the emulated calibrator did not connect");
        device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
        device().pollController()->hartTimeoutMs = 1500;
        window = std::make_unique<MainWindow>();
        tab = window->findChild<TabHart*>();
    }

    DeviceZFN& device() { return bench.device(); }
    HartTransmitter& transmitter() { return bench.emulator().hartTransmitter(); }

    template <typename T>
    T* find(const char* name) const
    {
        return requireChild<T>(scope ? scope : tab, name);
    }

    template <typename Change>
    void changeState(Change change)
    {
        HartTransmitterState state = transmitter().state();
        change(state);
        transmitter().setState(state);
    }

    // Shows the HART page, turns to the sub-page and waits for its silent read; logs start after it.
    HartDeviceData showSubPage(int index)
    {
        QueuedSpy finished(&device(), &DeviceZFN::sendAlgoritmFinished);
        window->show();
        requireChild<QTabWidget>(window.get(), "tabDeviceConfig")
            ->setCurrentWidget(requireChild<QWidget>(window.get(), "tabHart"));
        if (!finished.wait(10000))
            qFatal("the silent read of the first page did not end");
        auto* pages = find<QTabWidget>("tabWidget");
        if (index != pages->currentIndex()) {
            pages->setCurrentIndex(index);
            if (!finished.wait(10000))
                qFatal("the silent read of the sub-page did not end");
        }
        scope = pages->currentWidget();
        clearLogs();
        return finished.last().at(2).value<HartDeviceData>();
    }

    // Clicks a button and waits for the operation it starts (with its follow-ons) to end.
    bool clickAndWait(const char* button, int timeoutMs = 10000)
    {
        QueuedSpy finished(&device(), &DeviceZFN::sendAlgoritmFinished);
        find<QPushButton>(button)->click();
        const bool ended = finished.wait(timeoutMs);
        QCoreApplication::processEvents();
        return ended;
    }

    void clearLogs()
    {
        QCoreApplication::processEvents();
        transmitter().clearRequests();
        bench.emulator().clearRequests();
    }

    QByteArray sentData(int command) const
    {
        for (const HartSlaveRequest& request : const_cast<HartSubPageRig*>(this)->transmitter().requests())
            if (request.command == command)
                return request.data;
        return QByteArray();
    }

    DeviceTestBench bench;
    std::unique_ptr<MainWindow> window;
    TabHart* tab = nullptr;
    // The sub-page whose widgets find() looks up; several pages share object names.
    QWidget* scope = nullptr;
};
