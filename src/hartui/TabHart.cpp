#include "TabHart.h"

#include "DeviceZFN.h"
#include "HartStatusWidget.h"

#include <QVBoxLayout>

namespace {
constexpr int hartOperationEnd = -1;
}

TabHart::TabHart(QWidget* parent) : QWidget(parent), m_statusWidget(new HartStatusWidget(this))
{
    setObjectName(QStringLiteral("TabHart"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_statusWidget);

    connect(g_device, &DeviceZFN::sendHartResult, this, &TabHart::getHartResult);
    connect(g_device, &DeviceZFN::sendHartDeviceConnectionState, m_statusWidget,
            &HartStatusWidget::setHartDeviceConnectionState);
}

void TabHart::updateTab() {}

// A HART operation locks the interface but leaves the unlock to this page, once its last reply is shown.
void TabHart::getHartResult(int command)
{
    if (command == hartOperationEnd)
        emit g_device->unlockInteface();
}
