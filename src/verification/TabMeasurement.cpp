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
      m_addGroup(new QPushButton(tr("Добавить группу измерений\nв  \"Результаты\"  (Shift + Return) "), this)),
      m_addPointAction(g_device->auxBlock()->addPointAction),
      m_addGroupAction(g_device->auxBlock()->addGroupAction)
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

    connect(m_addPointAction, &QAction::triggered, m_addPoint, &QPushButton::click);
    connect(m_addGroupAction, &QAction::triggered, m_addGroup, &QPushButton::click);
    setControlsPolling(false);
}

void TabMeasurement::setPollMode(int index)
{
    m_pollMode = index;
}

// The shortcuts of the main window's add actions work only while the buttons they press could.
void TabMeasurement::setControlsPolling(bool enabled)
{
    m_addPointAction->setEnabled(enabled);
    m_addGroupAction->setEnabled(enabled);
    m_addPoint->setEnabled(enabled);
    m_addGroup->setEnabled(enabled);
}

void TabMeasurement::setActionsVisible(bool visible)
{
    m_addPointAction->setVisible(visible);
    m_addGroupAction->setVisible(visible);
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
