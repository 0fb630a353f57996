#include "LinenPlotControl.h"

#include "IconSet.h"
#include "TryLocker.h"
#include "ui_LinenPlotControl.h"

#include <QMutex>

LinenPlotControl::LinenPlotControl(QWidget* parent)
    : QWidget(parent), ui(new Ui_LinenPlotControl), m_mutex(new QMutex)
{
    ui->setupUi(this);
    connect(ui->pushButton_autoScale, &QPushButton::clicked, this, &LinenPlotControl::clearSelection);
    connect(this, &LinenPlotControl::clearSelection, this, &LinenPlotControl::clearMaxDisplayNumber);
    connect(ui->pushButton_zoomPlus, &QPushButton::clicked, this, &LinenPlotControl::zoomIn);
    connect(ui->pushButton_zoomMinus, &QPushButton::clicked, this, &LinenPlotControl::zoomOut);
    connect(ui->pushButton_save, &QPushButton::clicked, this, &LinenPlotControl::save);
    connect(ui->pushButton_print, &QPushButton::clicked, this, &LinenPlotControl::print);
    connect(ui->pushButton_modeTime, &QPushButton::clicked, this, &LinenPlotControl::setTimeMode,
            Qt::DirectConnection);
    connect(ui->pushButton_modeIndex, &QPushButton::clicked, this, &LinenPlotControl::setIndexMode,
            Qt::DirectConnection);
    connect(ui->spinBox_scaleMaxValuesNumber, qOverload<int>(&QSpinBox::valueChanged), this,
            &LinenPlotControl::setScaleMaxNumber);

    ui->pushButton_zoomPlus->hide();
    ui->pushButton_zoomMinus->hide();
    ui->pushButton_print->hide();
    ui->pushButton_autoScale->setText(QString());
    ui->pushButton_autoScale->setIcon(g_icon_symbol_defzoom);
    ui->pushButton_autoScale->setToolTip(tr("Автоматическое масштабирование"));
    ui->pushButton_save->setIcon(g_icon_symbol_fileSave);
    ui->pushButton_save->setToolTip(tr("Сохранить снимок"));
    setTimeMode();
    fitButtonWidths();
}

LinenPlotControl::~LinenPlotControl()
{
    delete ui;
    delete m_mutex;
}

void LinenPlotControl::setScaleMaxNumberVisible(bool visible)
{
    ui->spinBox_scaleMaxValuesNumber->setVisible(visible);
}

void LinenPlotControl::addWidget(QWidget* widget, int row, int column)
{
    ui->gridLayout->addWidget(widget, row, column);
}

void LinenPlotControl::fitButtonWidths()
{
    for (QPushButton* button : {ui->pushButton_modeIndex, ui->pushButton_modeTime})
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 10);
}

void LinenPlotControl::setTimeMode()
{
    switchMode(0);
}

void LinenPlotControl::setIndexMode()
{
    switchMode(1);
}

// The plot switches its axis through a direct connection, before the strip's lock is let go.
void LinenPlotControl::switchMode(int mode)
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    ui->pushButton_modeTime->setChecked(mode == 0);
    ui->pushButton_modeIndex->setChecked(mode == 1);
    emit setMode(mode);
}

void LinenPlotControl::clearMaxDisplayNumber()
{
    if (ui->spinBox_scaleMaxValuesNumber->isVisibleTo(this))
        ui->spinBox_scaleMaxValuesNumber->setValue(0);
}
