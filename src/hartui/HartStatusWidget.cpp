#include "HartStatusWidget.h"

#include <QHBoxLayout>
#include <QLabel>

HartStatusWidget* g_hartStatusWidget = nullptr;

HartStatusWidget::HartStatusWidget(QWidget* parent) : QWidget(parent), m_statusLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("hartStatusWidget"));
    m_statusLabel->setObjectName(QStringLiteral("label_hartStatus"));
    m_statusLabel->setText(tr("  нет связи с HART-устройством "));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_statusLabel);
    layout->addStretch();
    g_hartStatusWidget = this;
}

HartStatusWidget::~HartStatusWidget()
{
    if (g_hartStatusWidget == this)
        g_hartStatusWidget = nullptr;
}

QString HartStatusWidget::statusText() const
{
    return m_statusLabel->text();
}

void HartStatusWidget::setHartDeviceConnectionState(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    m_statusLabel->setText(connected ? tr("  HART-устройство на связи ") : tr("  нет связи с HART-устройством "));
}
