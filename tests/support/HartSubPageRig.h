#pragma once

#include "BoundedWait.h"
#include "ChildLookup.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "HartMaster.h"
#include "MainWindow.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TabHart.h"
#include "TabHartInformation.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

// The main window over a connected calibrator with an emulated transmitter of the given variant
// and device-type key behind it, for tests of the HART tab and its sub-pages.
class HartSubPageRig
{
public:
    explicit HartSubPageRig(HartVariant variant = HartVariant::Family, quint16 typeKey = 0x1234)
    {
        if (!bench.connectWithTransmitter(variant))
            qFatal("the emulated calibrator did not connect");
        changeState([typeKey](HartTransmitterState& state) {
            state.manufacturerCode = quint8(typeKey >> 8);
            state.deviceTypeCode = quint8(typeKey);
            state.deviceId = QByteArray::fromHex("000102");
        });
        HartMaster::Timing& timing = device().hartMaster()->timing();
        timing.addressRetryMs = 10;
        timing.addressSettleMs = 10;
        timing.factoryResetPauseMs = 10;
        window = std::make_unique<MainWindow>();
        tab = window->findChild<TabHart*>();
        scope = tab->informationPage();
    }

    DeviceZFN& device() { return bench.device(); }
    HartTransmitter& transmitter() { return bench.emulator().hartTransmitter(); }

    template <typename T>
    T* find(const char* name) const { return requireChild<T>(scope, name); }

    // What the named label, field, list or button shows.
    QString text(const char* name) const
    {
        const QWidget* widget = find<QWidget>(name);
        return widget->property(qobject_cast<const QComboBox*>(widget) ? "currentText" : "text").toString();
    }

    QStringList texts(const QList<const char*>& names) const
    {
        QStringList shown;
        for (const char* name : names)
            shown << text(name);
        return shown;
    }

    void setText(const char* field, const QString& text) { find<QLineEdit>(field)->setText(text); }

    void showHartPage()
    {
        window->show();
        requireChild<QTabWidget>(window.get(), "tabDeviceConfig")
            ->setCurrentWidget(requireChild<QWidget>(window.get(), "tabHart"));
    }
    void showOtherPage() { requireChild<QTabWidget>(window.get(), "tabDeviceConfig")->setCurrentIndex(0); }

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
        if (!finished.wait(BoundedWait::jobMs))
            qFatal("the silent read of the first page did not end");
        auto* pages = requireChild<QTabWidget>(tab, "tabWidget");
        if (index != pages->currentIndex()) {
            pages->setCurrentIndex(index);
            if (!finished.wait(BoundedWait::jobMs))
                qFatal("the silent read of the sub-page did not end");
        }
        scope = pages->currentWidget();
        clearLogs();
        return finished.last().at(2).value<HartDeviceData>();
    }

    // Clicks a button and waits for the operation it starts (with its follow-ons) to end; returns
    // the transmitter's commands from the click on, with -1 after them when the operation did not end.
    QList<int> run(const char* button)
    {
        clearLogs();
        QueuedSpy finished(&device(), &DeviceZFN::sendAlgoritmFinished);
        find<QPushButton>(button)->click();
        const bool ended = finished.wait(BoundedWait::jobMs);
        QCoreApplication::processEvents();
        return transmitter().commands() + (ended ? QList<int>() : QList<int>{-1});
    }

    // Clicks a button that must refuse: empty when it told the message, put the focus on the field
    // (if one is named) and sent nothing, else what it did.
    QString refusal(const char* button, const QString& message, const char* field = nullptr)
    {
        clearLogs();
        const int told = bench.popUps().size();
        find<QPushButton>(button)->click();
        QTest::qWait(50);
        if (bench.popUps().mid(told) != QStringList{message})
            return QStringLiteral("%1 told: %2").arg(button, bench.popUps().mid(told).join(" | "));
        if (field && window->focusWidget() != find<QWidget>(field))
            return QStringLiteral("%1 left the focus off %2").arg(button, field);
        if (bench.emulator().requestCount() != 0)
            return QStringLiteral("%1 sent: %2").arg(button, emulatorCommands(bench.emulator()).join(" | "));
        return QString();
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
    // The sub-page whose widgets find() looks up, the information page at first: several pages
    // share object names.
    QWidget* scope = nullptr;
};
