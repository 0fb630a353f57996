#include "TabMeasurement.h"

#include "ChannelsModel.h"
#include "DeviceAuxBlock.h"
#include "DeviceZFN.h"
#include "IconSet.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TabMeasurement::TabMeasurement(QWidget* parent)
    : QWidget(parent),
      m_start(makeButton(QStringLiteral("pushButtonStart"), tr("Старт"), g_icon_symbol_start, {110, 40})),
      m_stop(makeButton(QStringLiteral("pushButtonStop"), tr("Стоп"), g_icon_symbol_stop, {110, 40})),
      m_addPoint(makeButton(QStringLiteral("pushButton_addPoint"), tr("Добавить точку в \"Результаты\" \n (Пробел)"),
                            g_icon_symbol_elementAdd, {200, 40})),
      m_addGroup(makeButton(QStringLiteral("pushButton_addGroup"),
                            tr("Добавить группу измерений\nв  \"Результаты\"  (Shift + Return) "),
                            g_icon_symbol_elementAdd, {200, 40})),
      m_measureType(new QComboBox(this)),
      m_fixedValueBox(new QWidget(this)),
      m_fixedValue(new QDoubleSpinBox(m_fixedValueBox)),
      m_table(new QTableView(this)),
      m_addPointAction(g_device->auxBlock()->addPointAction),
      m_addGroupAction(g_device->auxBlock()->addGroupAction)
{
    m_measureType->setObjectName(QStringLiteral("comboBox_measureType"));
    m_measureType->addItems({tr("Измерение тока"), tr("Считывание давления по HART"), tr("Ручной ввод давления")});
    m_fixedValueBox->setObjectName(QStringLiteral("widget_fixed_current"));
    m_fixedValue->setObjectName(QStringLiteral("doubleSpinBox_mesured"));
    m_fixedValue->setDecimals(4);
    m_fixedValue->setRange(-100000000, 100000000);
    auto* fixedLayout = new QHBoxLayout(m_fixedValueBox);
    fixedLayout->setContentsMargins(0, 0, 0, 0);
    fixedLayout->addWidget(new QLabel(tr("Давление, Па"), m_fixedValueBox));
    fixedLayout->addWidget(m_fixedValue);
    m_fixedValueBox->hide();

    m_table->setObjectName(QStringLiteral("tableView"));
    m_table->setModel(g_device->channelsModel());
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->setMaximumHeight(60);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_start, m_stop, m_addPoint, m_addGroup})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(new QLabel(tr("Измеряемое значение: "), this));
    modeRow->addWidget(m_measureType);
    modeRow->addWidget(m_fixedValueBox);
    modeRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_table);
    layout->addLayout(modeRow);
    layout->addStretch();

    connect(m_start, &QPushButton::clicked, this, &TabMeasurement::startPoll);
    connect(m_stop, &QPushButton::clicked, this, &TabMeasurement::stopPoll);
    connect(m_measureType, qOverload<int>(&QComboBox::currentIndexChanged), this, &TabMeasurement::pollModeChanged);
    connect(m_fixedValue, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &TabMeasurement::onFixedValueChanged);
    connect(g_device, &DeviceZFN::pollStopedSignal, this, &TabMeasurement::stopPoll);
    connect(m_addPoint, &QPushButton::clicked, g_device, &DeviceZFN::addResult);
    connect(m_addGroup, &QPushButton::clicked, g_device, &DeviceZFN::addGroupResult);
    connect(m_addPointAction, &QAction::triggered, m_addPoint, &QPushButton::click);
    connect(m_addGroupAction, &QAction::triggered, m_addGroup, &QPushButton::click);
    setControlsPolling(false);
}

QPushButton* TabMeasurement::makeButton(const QString& objectName, const QString& text, const QIcon& icon, QSize minimum)
{
    auto* button = new QPushButton(icon, text, this);
    button->setObjectName(objectName);
    button->setMinimumSize(minimum);
    return button;
}

void TabMeasurement::startPoll()
{
    if (!g_device->checkConnection())
        return;
    g_device->setPollMode(m_measureType->currentIndex());
    setControlsPolling(g_device->startPoll());
}

void TabMeasurement::stopPoll()
{
    g_device->stopPoll();
    setControlsPolling(false);
}

void TabMeasurement::setPollMode(int index)
{
    m_measureType->setCurrentIndex(index);
}

void TabMeasurement::pollModeChanged(int index)
{
    g_device->setPollMode(index);
    m_fixedValueBox->setVisible(index == 2);
}

void TabMeasurement::onFixedValueChanged(double value)
{
    g_device->channelsModel()->manualValue = float(value);
}

// The shortcuts of the main window's add actions work only while the buttons they press could.
void TabMeasurement::setControlsPolling(bool enabled)
{
    m_start->setEnabled(!enabled);
    m_stop->setEnabled(enabled);
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
