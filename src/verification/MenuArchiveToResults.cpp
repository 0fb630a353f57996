#include "MenuArchiveToResults.h"

#include "ArchiveModel.h"
#include "CalibratorMap.h"
#include "ConfirmPrompt.h"
#include "DeviceZFN.h"
#include "IconSet.h"
#include "MultiSortFilterProxyModel.h"
#include "ResultsModel.h"
#include "SortClickFilter.h"
#include "ui_MenuArchiveToResults.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QSet>
#include <algorithm>

QPointer<MultiSortFilterProxyModel> archiveFilterProxy;

namespace {

constexpr int serialColumn = 4;
constexpr int errorCodeColumn = 11;
constexpr int hartColumn = 12;
const QString anyValue = QStringLiteral("*");
// As on the archive page: columns fit the rows in view and this many around them.
constexpr int contentRowsMeasured = 50;

FilterCondition condition(int column, const QString& pattern)
{
    FilterCondition filter;
    filter.column = column;
    filter.pattern = QRegExp(pattern, Qt::CaseSensitive, QRegExp::Wildcard);
    return filter;
}

}  // namespace

MenuArchiveToResults::MenuArchiveToResults(QWidget* parent) : QWidget(parent), ui(new Ui_MenuArchiveToResults)
{
    ui->setupUi(this);
    ui->pushButton_move->setIcon(g_icon_symbol_current);
    ui->pushButton_moveSelected->setIcon(g_icon_symbol_current);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    setAutoFillBackground(true);
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    setupTable();

    connect(ui->pushButton_close, &QPushButton::clicked, this, &MenuArchiveToResults::close);
    connect(ui->pushButton_move, &QPushButton::clicked, this, &MenuArchiveToResults::moveToResults);
    connect(ui->pushButton_moveSelected, &QPushButton::clicked, this, &MenuArchiveToResults::moveToResultsSelected);
    connect(ui->comboBox_deviceSerialNum, &QComboBox::currentTextChanged, this, &MenuArchiveToResults::updateFilters);
    connect(ui->comboBox_hartState, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &MenuArchiveToResults::updateFilters);
    connect(ui->comboBox_allowErrorCode, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &MenuArchiveToResults::updateFilters);

    ui->comboBox_hartState->addItems({anyValue, ArchiveModel::hartOnlineText(false), ArchiveModel::hartOnlineText(true)});
    ui->comboBox_allowErrorCode->addItems({tr("Нет"), tr("Да")});
}

MenuArchiveToResults::~MenuArchiveToResults()
{
    delete ui;
}

// The proxy orders by the archive's own sort keys, so dates sort as time and numbers as numbers.
void MenuArchiveToResults::setupTable()
{
    QTableView* table = ui->tableView;
    auto* proxy = new MultiSortFilterProxyModel(this);
    archiveFilterProxy = proxy;
    proxy->setSourceModel(g_device->archiveModel());
    proxy->setSortRole(ArchiveModel::SortKeyRole);
    table->setModel(proxy);
    // Turning sorting on sorts by the header's indicator; none keeps the archive table's order.
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    new SortClickFilter(table->horizontalHeader(), &ArchiveModel::sortsColumn);
    table->setAlternatingRowColors(true);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setResizeContentsPrecision(contentRowsMeasured);
    table->horizontalHeader()->setStretchLastSection(true);
    fillSerialFilter();
}

void MenuArchiveToResults::fillSerialFilter()
{
    QComboBox* combo = ui->comboBox_deviceSerialNum;
    combo->clear();
    combo->addItem(anyValue);
    const ArchiveModel* model = g_device->archiveModel();
    QSet<quint32> listed;
    for (int row = 0; row < model->rowCount(); ++row) {
        const quint32 serial = model->record(row).deviceSerial();
        if (!listed.contains(serial)) {
            listed.insert(serial);
            combo->addItem(QStringLiteral("%1").arg(serial, 5, 10, QLatin1Char('0')), serial);
        }
    }
    combo->setCurrentIndex(0);
}

void MenuArchiveToResults::updateFilters()
{
    if (!archiveFilterProxy)
        return;
    QList<FilterCondition> filters;
    const QString serial = ui->comboBox_deviceSerialNum->currentText();
    if (!serial.isEmpty() && serial != anyValue)
        filters << condition(serialColumn, serial);
    if (ui->comboBox_hartState->currentIndex() > 0)
        filters << condition(hartColumn, ui->comboBox_hartState->currentText());
    if (ui->comboBox_allowErrorCode->currentIndex() == 0)
        filters << condition(errorCodeColumn, QStringLiteral("0"));
    archiveFilterProxy->setFilters(filters);
    ui->tableView->resizeColumnsToContents();
    // Sizing to the contents sized the last section too; only turning the stretch off and on again
    // makes it take the rest of the width.
    QHeaderView* header = ui->tableView->horizontalHeader();
    header->setStretchLastSection(false);
    header->setStretchLastSection(true);
}

void MenuArchiveToResults::moveToResults()
{
    const int count = archiveFilterProxy->rowCount();
    if (count == 0) {
        g_device->showPopUpMessage(tr("Список кадров пуст!"));
        return;
    }
    if (!acceptMove(count))
        return;
    g_device->setArchiveSelectedOnly(false);
    g_device->setArchiveProxy(archiveFilterProxy);
    g_device->addArchiveFramesToResults();
    finishMove();
}

void MenuArchiveToResults::moveToResultsSelected()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        g_device->showPopUpMessage(tr("Кадры архива не выделены!"));
        return;
    }
    if (!acceptMove(rows.size()))
        return;
    g_device->setArchiveProxy(archiveFilterProxy);
    g_device->setArchiveSelectedOnly(true);
    g_device->setArchiveSelectedRows(rows);
    g_device->addArchiveFramesToResults();
    finishMove();
}

QList<int> MenuArchiveToResults::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : ui->tableView->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// A calibrator's whole archive moves, beyond the limit of measured points; only frames merged from
// several archive files can be more.
bool MenuArchiveToResults::acceptMove(int frameCount) const
{
    if (frameCount > CalibratorMap::ArchiveFrameCount) {
        g_device->showPopUpMessage(tr("Выбрано кадров: %1. В результаты можно перенести не более %2.")
                                       .arg(frameCount)
                                       .arg(CalibratorMap::ArchiveFrameCount));
        return false;
    }
    return g_device->resultsModel()->isEmpty()
           || ConfirmPrompt::ask(tr("Результаты уже содержат точки. Заменить их кадрами архива?"), tr("Заменить"),
                                 tr("Отмена"));
}

// The proxy goes with the panel; the device must not keep it.
void MenuArchiveToResults::finishMove()
{
    g_device->setArchiveProxy(nullptr);
    emit movedToResults();
    close();
}

void MenuArchiveToResults::closeEvent(QCloseEvent* event)
{
    emit closeSignal();
    QWidget::closeEvent(event);
}

void MenuArchiveToResults::hideEvent(QHideEvent* event)
{
    emit hideSignal();
    QWidget::hideEvent(event);
}
