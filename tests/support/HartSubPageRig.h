#pragma once

#include "ChildLookup.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "HartMaster.h"
#include "MainWindow.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TabHart.h"
#include "TabHartInformation.h"

#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

// The main window over a calibrator with an emulated transmitter of the given variant and
// device-type key behind it, for tests of the HART tab and its sub-pages.
class HartSubPageRig
{
public:
    explicit HartSubPageRig(HartVariant variant = HartVariant::Family, quint16 typeKey = 0x1234,
                            bool connected = true)
    {
        bench.emulator().attachHartTransmitter(variant);
        HartTransmitterState state = transmitter().state();
        state.manufacturerCode = quint8(typeKey >> 8);
        state.deviceTypeCode = quint8(typeKey);
        state.deviceId = QByteArray::fromHex("000102");
        transmitter().setState(state);
        if (connected) {
            if (!bench.connectTo(0))
                qFatal("the emulated calibrator did not connect");
            device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
        }
        HartMaster::Timing& timing = device().hartMaster()->timing();
        timing.addressRetryMs = 10;
        timing.addressSettleMs = 10;
        device().pollController()->hartTimeoutMs = 1500;
        window = std::make_unique<MainWindow>();
        tab = window->findChild<TabHart*>();
    }

    DeviceZFN& device() { return bench.device(); }
    HartTransmitter& transmitter() { return bench.emulator().hartTransmitter(); }

    // In the shown sub-page; before one is shown, the information page first, since other
    // sub-pages carry buttons of the same names.
    template <typename T>
    T* find(const char* name) const
    {
        if (scope)
            return requireChild<T>(scope, name);
        if (T* onPage = tab->informationPage()->findChild<T*>(QString::fromLatin1(name)))
            return onPage;
        return requireChild<T>(tab, name);
    }

    void showHartPage()
    {
        window->show();
        requireChild<QTabWidget>(window.get(), "tabDeviceConfig")
            ->setCurrentWidget(requireChild<QWidget>(window.get(), "tabHart"));
    }
    void showOtherPage() { requireChild<QTabWidget>(window.get(), "tabDeviceConfig")->setCurrentIndex(0); }

    // Shows the page and waits for its silent read; the logs start after it.
    HartDeviceData showAndRead()
    {
        const HartDeviceData read = showSubPage(0);
        scope = nullptr;
        return read;
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
        showHartPage();
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

    QByteArray sentData(int command)
    {
        for (const HartSlaveRequest& request : transmitter().requests())
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
