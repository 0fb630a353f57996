#include "TabMeasurement.h"

#include "DeviceAuxBlock.h"
#include "DeviceZFN.h"
#include "IconSet.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>

TabMeasurement::TabMeasurement(QWidget* parent)
    : QWidget(parent),
      m_addPoint(new QPushButton(tr("Добавить точку в \"Результаты\" \n (Пробел)"), this)),
      m_addGroup(new QPushButton(tr("Добавить группу измерений\nв  \"Результаты\"  (Shift + Return) "), this))
{
    m_addPoint->setObjectName(QStringLiteral("pushButton_addPoint"));
    m_addGroup->setObjectName(QStringLiteral("pushButton_addGroup"));
    for (QPushButton* button : {m_addPoint, m_addGroup}) {
        button->setIcon(g_icon_symbol_elementAdd);
        button->setMinimumSize(200, 40);
    }
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_addPoint);
    layout->addWidget(m_addGroup);
    layout->addStretch();

    const DeviceAuxBlock* actions = g_device->auxBlock();
    connect(actions->addPointAction, &QAction::triggered, m_addPoint, &QPushButton::click);
    connect(actions->addGroupAction, &QAction::triggered, m_addGroup, &QPushButton::click);
    setControlsPolling(false);
}

void TabMeasurement::setPollMode(int index)
{
    m_pollMode = index;
}

// The shortcuts of the main window's add actions work only while the buttons they press could.
void TabMeasurement::setControlsPolling(bool enabled)
{
    const DeviceAuxBlock* actions = g_device->auxBlock();
    actions->addPointAction->setEnabled(enabled);
    actions->addGroupAction->setEnabled(enabled);
    m_addPoint->setEnabled(enabled);
    m_addGroup->setEnabled(enabled);
}

void TabMeasurement::setActionsVisible(bool visible)
{
    const DeviceAuxBlock* actions = g_device->auxBlock();
    actions->addPointAction->setVisible(visible);
    actions->addGroupAction->setVisible(visible);
}

void TabMeasurement::showEvent(QShowEvent* event)
{
    setActionsVisible(true);
    QWidget::showEvent(event);
}

void TabMeasurement::hideEvent(QHideEvent* event)
{
    setActionsVisible(false);
    QWidget::hideEvent(event);
}
