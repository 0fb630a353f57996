#include "TabArchive.h"

#include "ArchiveModel.h"
#include "DeviceZFN.h"
#include "IconSet.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TabArchive::TabArchive(QWidget* parent)
    : QWidget(parent),
      m_read(makeButton(QStringLiteral("pushButton_readArchive"), tr("Считать архив"), g_icon_symbol_start)),
      m_stopRead(makeButton(QStringLiteral("pushButton_stopRead"), tr("Остановить считывание"), g_icon_symbol_stop)),
      m_clear(makeButton(QStringLiteral("pushButton_clearArchive"), tr("Очистить архив"), g_icon_symbol_start)),
      m_stopClear(makeButton(QStringLiteral("pushButton_stopClearArchive"), tr("Остановить очистку"), g_icon_symbol_stop)),
      m_progress(new QProgressBar(this)),
      m_table(new QTableView(this))
{
    setObjectName(QStringLiteral("TabArchive"));
    m_stopRead->hide();
    m_stopClear->hide();
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setValue(0);
    m_progress->setAlignment(Qt::AlignCenter);
    m_progress->setMinimumHeight(30);
    m_progress->hide();
    m_table->setObjectName(QStringLiteral("tableView_archive"));
    m_table->setModel(g_device->archiveModel());
    m_table->setSortingEnabled(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_read, m_stopRead, m_clear, m_stopClear})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_progress);
    layout->addWidget(m_table);

    connect(m_read, &QPushButton::clicked, this, &TabArchive::startReadArchiveButton);
    connect(m_stopRead, &QPushButton::clicked, this, &TabArchive::stopReadArchive);
    connect(m_clear, &QPushButton::clicked, this, &TabArchive::startClearArchive);
    connect(m_stopClear, &QPushButton::clicked, this, &TabArchive::stopClearArchive);
    connect(g_device, &DeviceZFN::archiveReadStoped, this, &TabArchive::archiveReadStoped);
    connect(g_device, &DeviceZFN::archiveReadFinished, this, &TabArchive::archiveReadStoped);
    connect(g_device, &DeviceZFN::archiveClearStoped, this, &TabArchive::archiveClearStoped);
    connect(g_device, &DeviceZFN::archiveClearFinished, this, &TabArchive::archiveClearStoped);
}

QPushButton* TabArchive::makeButton(const QString& objectName, const QString& text, const QIcon& icon)
{
    auto* button = new QPushButton(icon, text, this);
    button->setObjectName(objectName);
    return button;
}

// Progress follows the device object only while this page's own operation runs.
void TabArchive::showRunning(QPushButton* stopButton, bool running)
{
    m_read->setVisible(!running);
    m_clear->setVisible(!running);
    stopButton->setVisible(running);
    m_progress->setVisible(running);
    if (running)
        connect(g_device, &DeviceZFN::sendProgress, m_progress, &QProgressBar::setValue, Qt::UniqueConnection);
    else
        disconnect(g_device, &DeviceZFN::sendProgress, m_progress, &QProgressBar::setValue);
}

void TabArchive::startReadArchiveButton()
{
    if (!g_device->checkConnection())
        return;
    showRunning(m_stopRead, true);
    g_device->startReadArchive();
}

void TabArchive::stopReadArchive()
{
    g_device->stopReadArchive();
}

void TabArchive::startClearArchive()
{
    if (!g_device->checkConnection())
        return;
    showRunning(m_stopClear, true);
    g_device->startClearArchive();
}

void TabArchive::stopClearArchive()
{
    g_device->stopClearArchive();
}

void TabArchive::archiveReadStoped()
{
    showRunning(m_stopRead, false);
}

void TabArchive::archiveClearStoped()
{
    showRunning(m_stopClear, false);
}
