#include "TabResults.h"

#include "ConfiguratorModule.h"
#include "ConfirmPrompt.h"
#include "DeviceZFN.h"
#include "ExcelSaver.h"
#include "FlagGuard.h"
#include "IconSet.h"
#include "InteractionHooks.h"
#include "ResultsModel.h"
#include "VerificationSettings.h"
#include "ui_TabResults.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

namespace {

constexpr int firstGroup = 1;
constexpr int lastGroup = 100;

}  // namespace

TabResults::TabResults(QWidget* parent) : QWidget(parent), ui(new Ui_TabResults)
{
    ui->setupUi(this);
    ui->tableView->setModel(g_device->resultsModel());
    ui->tableView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->tableView->horizontalHeader()->setStretchLastSection(true);
    ui->pushButtonToExcel->setIcon(g_icon_symbol_convert_excel);
    ui->pushButtonClearAll->setIcon(g_icon_symbol_clearList);
    ui->pushButtonDeleteButton->setIcon(g_icon_symbol_elementRemove);
    ui->pushButtonGroup->setIcon(g_icon_symbol_elementEdit);
    ui->pushButtonComputeUndef->setIcon(g_icon_symbol_elementEdit);
    connect(ui->pushButtonToExcel, &QPushButton::clicked, this, &TabResults::convertToExcel);
    connect(ui->pushButtonClearAll, &QPushButton::clicked, this, &TabResults::clearResults);
    connect(ui->pushButtonDeleteButton, &QPushButton::clicked, this, &TabResults::removeCurrentResult);
    connect(ui->pushButtonGroup, &QPushButton::clicked, this, &TabResults::groupButtons);
    connect(ui->pushButtonComputeUndef, &QPushButton::clicked, this, &TabResults::computeUndef);
}

TabResults::~TabResults()
{
    delete ui;
}

QList<int> TabResults::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : ui->tableView->selectionModel()->selectedIndexes())
        if (!rows.contains(index.row()))
            rows.append(index.row());
    return rows;
}

QList<int> TabResults::requireSelection() const
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        g_device->showPopUpMessage(tr("Элементы не выбраны!"));
    return rows;
}

void TabResults::removeCurrentResult()
{
    QList<int> rows = requireSelection();
    if (rows.isEmpty() || !ConfirmPrompt::ask(QStringLiteral("Удалить выбранные точки?"), tr("Удалить"), tr("Отмена")))
        return;
    // From the bottom up, so that no removal moves a row still to be removed.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : qAsConst(rows))
        g_device->resultsModel()->removeResult(row);
}

void TabResults::clearResults()
{
    if (ConfirmPrompt::ask(QStringLiteral("Очистить список точек?"), tr("Очистить"), tr("Отмена")))
        g_device->resultsModel()->clear();
}

void TabResults::convertToExcel()
{
    if (g_device->resultsModel()->isEmpty()) {
        g_device->showPopUpMessage(tr("Список результатов пуст."));
        return;
    }
    FlagGuard running(&m_exportRunning, true);
    if (!running.set())
        return;
    const QDateTime now = InteractionHooks::now();
    g_device->verificationSettings()->protocolDate = now.toString(QStringLiteral("yyyy.MM.dd"));
    const ConfiguratorModule::FileDialog dialog{
        FileChooser::Save,
        ConfiguratorModule::settingFilePathResult,
        QStringLiteral("Excel"),
        tr("Сохранение результатов"),
        tr("Файлы Excel(*.xlsx)"),
        tr("Протокол от ") + now.toString(QStringLiteral("dd MM yyyy - hh mm ss")) + QStringLiteral(".xlsx"),
        QStringLiteral(".xlsx")};
    const QString path = ConfiguratorModule::chooseFile(dialog, this);
    if (path.isEmpty())
        return;
    if (!saver()->save(path)) {
        g_device->showPopUpMessage(saver()->errorString());
        return;
    }
    running.reset();
    ConfiguratorModule::openFileOrFolder(path);
}

ExcelSaver* TabResults::saver()
{
    if (!m_saver) {
        m_saver = new ExcelSaver(this);
        m_saver->setChannel(g_device->currentChannel());
        m_saver->setResultsModel(g_device->resultsModel());
        m_saver->setVerificationSettings(g_device->verificationSettings());
    }
    return m_saver;
}

void TabResults::computeUndef()
{
    const QList<int> rows = requireSelection();
    if (!rows.isEmpty())
        g_device->resultsModel()->computeUncertainty(rows);
}

void TabResults::groupButtons()
{
    const QList<int> rows = requireSelection();
    if (rows.isEmpty())
        return;
    QMessageBox box(this);
    box.setText(tr("Введите номер новой группы"));
    const QAbstractButton* choose = box.addButton(tr("Выбрать"), QMessageBox::YesRole);
    box.addButton(tr("Отмена"), QMessageBox::NoRole);
    auto* group = new QSpinBox(&box);
    group->setRange(firstGroup, lastGroup);
    group->setValue(firstGroup);
    box.layout()->addWidget(new QLabel(tr("Группа"), &box));
    box.layout()->addWidget(group);
    group->setFocus();
    InteractionHooks::runMessageBox(box);
    if (box.clickedButton() == choose)
        g_device->resultsModel()->setGroup(rows, group->value());
}
