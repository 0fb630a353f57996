#include "TabArchive.h"

#include "ArchiveModel.h"
#include "ArchiveXlsxExport.h"
#include "ConfiguratorModule.h"
#include "ConfirmPrompt.h"
#include "DeviceZFN.h"
#include "FlagGuard.h"
#include "GraphWidget.h"
#include "IconSet.h"
#include "InteractionHooks.h"
#include "LinenPlot.h"
#include "LinenPlotControl.h"
#include "MenuArchiveToResults.h"
#include "PressureUnits.h"
#include "SortClickFilter.h"
#include "TextDiscription.h"
#include "ui_TabArchive.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPen>
#include <QSplitter>
#include <limits>

QPointer<MenuArchiveToResults> archiveToResultsMenu;
bool archiveToResultsMenuShown = false;
bool archiveToResultsMenuOpening = false;

namespace {

constexpr int kilopascalUnit = 1;
// Columns fit the rows in view and this many around them: measuring every row's text on each sort
// costs more than the sort itself, and the archive's columns hold texts of one width.
constexpr int contentRowsMeasured = 50;
constexpr double notPlotted = std::numeric_limits<double>::quiet_NaN();

// Characters no file system of the operator's takes in a name.
QString validFileName(QString name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar& c : name)
        if (forbidden.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    return name;
}

}  // namespace

TabArchive::TabArchive(QWidget* parent)
    : QWidget(parent), ui(new Ui_TabArchive), m_pressureGraph(new GraphWidget), m_errorGraph(new GraphWidget)
{
    ui->setupUi(this);
    ui->pushButton_readArchive->setIcon(g_icon_symbol_start);
    ui->pushButton_stopRead->setIcon(g_icon_symbol_stop);
    ui->pushButton_convertToExcel->setIcon(g_icon_symbol_convert_excel);
    ui->pushButton_plotGrapf->setIcon(g_icon_symbol_plot);
    ui->pushButton_moveToResult->setIcon(g_icon_symbol_elementAdd);
    ui->pushButton_clearArchive->setIcon(g_icon_symbol_start);
    ui->pushButton_stopClearArchive->setIcon(g_icon_symbol_stop);

    auto* tableAndPlots = new QSplitter(Qt::Vertical, this);
    ui->verticalLayout_2->addWidget(tableAndPlots);
    tableAndPlots->addWidget(ui->widget_table);
    auto* plots = new QSplitter(Qt::Horizontal, tableAndPlots);
    plots->addWidget(m_pressureGraph);
    plots->addWidget(m_errorGraph);
    tableAndPlots->addWidget(plots);

    for (GraphWidget* graph : {m_pressureGraph, m_errorGraph}) {
        graph->control()->setIndexMode();
        graph->setScaleMaxNumberVisible(false);
    }

    QTableView* table = ui->tableView;
    table->setModel(g_device->archiveModel());
    // Turning sorting on sorts by the header's indicator; none keeps the frames in their order.
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    new SortClickFilter(table->horizontalHeader(), &ArchiveModel::sortsColumn);
    table->setAlternatingRowColors(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setResizeContentsPrecision(contentRowsMeasured);
    table->horizontalHeader()->setStretchLastSection(true);

    ui->pushButton_stopRead->hide();
    ui->pushButton_stopClearArchive->hide();
    ui->progressBar->hide();
    ui->pushButton_saveArchive->hide();

    m_pressureGraph->plot()->setAxisTitle(QwtPlot::yLeft, tr("Давление, кПа"));
    for (int curve : {0, 1, 2})
        createCurves(curve);
    m_errorGraph->plot()->setAxisTitle(QwtPlot::yLeft, tr("Погрешность, %"));
    for (int curve : {4, 5})
        createCurves(curve);
    // Choosing the unit plots what is loaded, so the curves come first.
    createUnitSelector();

    connect(ui->pushButton_readArchive, &QPushButton::clicked, this, &TabArchive::startReadArchiveButton);
    connect(ui->pushButton_stopRead, &QPushButton::clicked, this, &TabArchive::stopReadArchive);
    connect(ui->pushButton_plotGrapf, &QPushButton::clicked, this, &TabArchive::plotGraphics);
    connect(ui->pushButton_clearArchive, &QPushButton::clicked, this, &TabArchive::startClearArchive);
    connect(ui->pushButton_stopClearArchive, &QPushButton::clicked, this, &TabArchive::stopClearArchive);
    connect(g_device, &DeviceZFN::archiveReadStoped, this, &TabArchive::archiveReadStoped);
    connect(g_device, &DeviceZFN::archiveReadFinished, this, &TabArchive::archiveReadStoped);
    connect(g_device, &DeviceZFN::archiveClearStoped, this, &TabArchive::archiveClearStoped);
    connect(g_device, &DeviceZFN::archiveClearFinished, this, &TabArchive::archiveClearStoped);
    connect(ui->pushButton_convertToExcel, &QPushButton::clicked, this, &TabArchive::saveToExcel);
    connect(ui->pushButton_saveArchive, &QPushButton::clicked, g_device->configuratorModule(),
            &ConfiguratorModule::saveArchive);
    connect(ui->pushButton_moveToResult, &QPushButton::clicked, this, &TabArchive::moveToResults);
    connect(g_device->archiveModel(), &ArchiveModel::rowsInserted, this, &TabArchive::updateModel);
    connect(g_device->archiveModel(), &ArchiveModel::recordsReplaced, this, &TabArchive::framesReplaced);
}

TabArchive::~TabArchive()
{
    archiveToResultsMenuShown = false;
    delete ui;
}

void TabArchive::createUnitSelector()
{
    auto* selector = new QWidget(m_pressureGraph);
    selector->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    auto* layout = new QGridLayout(selector);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("  Ед."), selector);
    m_unitCombo = new QComboBox(selector);
    m_unitCombo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    m_unitCombo->addItems(TextDiscription::lstUnits);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_unitCombo, 0, 1);
    m_pressureGraph->control()->addWidget(selector, 0, 7);
    connect(m_unitCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, &TabArchive::changeArchiveMeasure);
    m_unitCombo->setCurrentIndex(kilopascalUnit);
    selector->setFixedWidth(label->fontMetrics().horizontalAdvance(label->text()) + 20
                            + m_unitCombo->fontMetrics().horizontalAdvance(QStringLiteral("мм. вод. ст")));
}

void TabArchive::createCurves(int number)
{
    struct Curve
    {
        int number;
        GraphWidget* graph;
        const char* title;
        QColor colour;
        double width;
    };
    const Curve curves[] = {
        {0, m_pressureGraph, QT_TR_NOOP("P эт."), Qt::red, 3.0},
        {1, m_pressureGraph, QT_TR_NOOP("P изм."), Qt::blue, 2.0},
        {2, m_pressureGraph, QT_TR_NOOP("HART P"), Qt::green, 2.0},
        {4, m_errorGraph, QT_TR_NOOP("Погр."), Qt::black, 2.0},
        {5, m_errorGraph, QT_TR_NOOP("HART Погр."), QColor(10, 140, 123), 2.0},
    };
    for (const Curve& curve : curves)
        if (curve.number == number)
            curve.graph->plot()->addCurve(tr(curve.title),
                                          QPen(curve.colour, curve.width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
}

void TabArchive::startReadArchiveButton()
{
    if (m_state != Idle || !g_device->readyToStart())
        return;
    const ArchiveModel* model = g_device->archiveModel();
    if (model->resumePosition == 0) {
        if (model->isEmpty()
            || ConfirmPrompt::ask(tr("Загруженные кадры будут удалены из таблицы. Считать архив заново?"), tr("Считать"),
                                  tr("Отмена")))
            readArchiveFromStart();
        return;
    }
    QMessageBox box;
    box.setText(tr("Чтение архива было прервано!"));
    box.setInformativeText(tr("Продолжить чтение?"));
    const QAbstractButton* resume = box.addButton(tr("Продолжить"), QMessageBox::YesRole);
    const QAbstractButton* restart = box.addButton(tr("Начать с начала"), QMessageBox::NoRole);
    box.addButton(tr("Отмена"), QMessageBox::RejectRole);
    InteractionHooks::runMessageBox(box);
    if (box.clickedButton() == resume)
        resumeReadArchive();
    else if (box.clickedButton() == restart)
        readArchiveFromStart();
}

void TabArchive::showRunning(State state, const QString& progressFormat)
{
    m_state = state;
    ui->progressBar->setValue(0);
    ui->progressBar->setFormat(progressFormat);
    ui->progressBar->show();
    ui->pushButton_readArchive->hide();
    ui->pushButton_clearArchive->hide();
    ui->pushButton_stopRead->setVisible(state == Reading);
    ui->pushButton_stopClearArchive->setVisible(state == Clearing);
    ui->pushButton_convertToExcel->setEnabled(state != Reading);
    ui->pushButton_moveToResult->setEnabled(state != Reading);
    // The table is the archive model itself: sorting it now would move rows under the running job.
    ui->tableView->horizontalHeader()->setSectionsClickable(false);
    connect(g_device, &DeviceZFN::sendProgress, ui->progressBar, &QProgressBar::setValue, Qt::UniqueConnection);
}

void TabArchive::showIdle()
{
    m_state = Idle;
    ui->progressBar->hide();
    ui->pushButton_stopRead->hide();
    ui->pushButton_stopClearArchive->hide();
    ui->pushButton_readArchive->show();
    ui->pushButton_clearArchive->show();
    ui->pushButton_convertToExcel->setEnabled(true);
    ui->pushButton_moveToResult->setEnabled(true);
    ui->tableView->horizontalHeader()->setSectionsClickable(true);
    disconnect(g_device, &DeviceZFN::sendProgress, ui->progressBar, &QProgressBar::setValue);
}

void TabArchive::showReadProgress()
{
    showRunning(Reading, tr("Загрузка архива: %p%"));
}

void TabArchive::showClearProgress()
{
    showRunning(Clearing, tr("Очистка архива: %p%"));
}

void TabArchive::readArchiveFromStart()
{
    g_device->archiveModel()->clear();
    resumeReadArchive();
}

// A refused start ends at once, through the same stop signal. The frames read are appended
// after the loaded ones, whatever column those were sorted by.
void TabArchive::resumeReadArchive()
{
    showReadProgress();
    forgetSortOrder();
    ++m_pendingReads;
    g_device->startReadArchive();
    clearPlots();
}

void TabArchive::archiveReadStoped()
{
    runEnded(m_pendingReads, Reading);
    if (m_pendingReads == 0)
        readEnded();
}

// The last frame of a read arrives before its stop or finish signal. Plots built while frames
// were still coming are built again over all of them.
void TabArchive::readEnded()
{
    if (!m_pressureGraph->plot()->indexX().isEmpty())
        plotGraphics();
}

void TabArchive::clearPlots()
{
    m_pressureGraph->clear();
    m_errorGraph->clear();
}

void TabArchive::framesReplaced()
{
    forgetSortOrder();
    clearPlots();
}

// The header's arrow tells the order of the rows; rows that came in their own order have none.
// The view sorts by the new indicator, and the model leaves the rows of no column where they are.
void TabArchive::forgetSortOrder()
{
    QHeaderView* header = ui->tableView->horizontalHeader();
    header->setSortIndicator(-1, header->sortIndicatorOrder());
}

void TabArchive::runEnded(int& pending, State state)
{
    if (pending > 0)
        --pending;
    if (pending == 0 && m_state == state)
        showIdle();
}

void TabArchive::stopReadArchive()
{
    if (m_state == Reading)
        showIdle();
    g_device->stopReadArchive();
}

void TabArchive::startClearArchive()
{
    if (m_state != Idle || !g_device->readyToStart()
        || !ConfirmPrompt::ask(tr("Очистить архив калибратора?"), tr("Очистить"), tr("Отмена")))
        return;
    showClearProgress();
    ++m_pendingClears;
    g_device->startClearArchive();
}

void TabArchive::archiveClearStoped()
{
    runEnded(m_pendingClears, Clearing);
}

void TabArchive::stopClearArchive()
{
    if (m_state == Clearing)
        showIdle();
    g_device->stopClearArchive();
}

// Leaving the page stops what runs on it; a minimised window is no leaving.
void TabArchive::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    if (m_state == Reading)
        stopReadArchive();
    else if (m_state == Clearing)
        stopClearArchive();
}

void TabArchive::plotGraphics()
{
    clearPlots();
    const int count = g_device->archiveModel()->rowCount();
    m_pressureGraph->plot()->resizeSamples(count);
    m_errorGraph->plot()->resizeSamples(count);
    for (int row = 0; row < count; ++row)
        plotFrame(row, row);
    for (GraphWidget* graph : {m_pressureGraph, m_errorGraph}) {
        graph->setAllCurvesVisible(true);
        graph->plot()->updateCurves();
    }
}

// Values a frame does not hold (HART without a transmitter) and values that are not numbers stay
// off the curves rather than drawn as 0.
void TabArchive::plotFrame(int slot, int row)
{
    const ArchiveRecord& frame = g_device->archiveModel()->record(row);
    LinenPlot* pressure = m_pressureGraph->plot();
    LinenPlot* error = m_errorGraph->plot();
    const QDateTime time(QDate(2000 + frame.year(), frame.month(), frame.day()),
                         QTime(frame.hour(), frame.minute(), frame.second()));
    const double x = double(pressure->startTime().msecsTo(time));
    pressure->setXValue(slot, x);
    error->setXValue(slot, x);
    const auto shown = [&](float value) {
        return PressureUnits::convert(quint8(frame.unitIndex()), quint8(m_displayUnit), value);
    };
    const bool hart = frame.hartOnline() == 1;
    pressure->setCurveValue(0, slot, shown(frame.reference()));
    pressure->setCurveValue(1, slot, shown(frame.measured()));
    pressure->setCurveValue(2, slot, hart ? shown(frame.hartPressure()) : notPlotted);
    error->setCurveValue(0, slot, widenFloat(frame.error()));
    error->setCurveValue(1, slot, hart ? widenFloat(frame.hartError()) : notPlotted);
}

void TabArchive::changeArchiveMeasure(int index)
{
    if (index < 0 || index >= TextDiscription::lstUnits.size())
        return;
    m_displayUnit = index;
    m_pressureGraph->plot()->setAxisTitle(QwtPlot::yLeft, tr("Давление, ") + TextDiscription::lstUnits.at(index));
    plotGraphics();
}

void TabArchive::updateModel(const QModelIndex&, int first, int)
{
    if (first == 0)
        ui->tableView->viewport()->update();
}

void TabArchive::saveToExcel()
{
    ArchiveModel* model = g_device->archiveModel();
    if (model->isEmpty()) {
        g_device->showPopUpMessage(tr("Архив пуст или не загружен."));
        return;
    }
    FlagGuard running(&m_exportInProgress, true);
    if (!running.set())
        return;
    const ConfiguratorModule::FileDialog dialog{FileChooser::Save,
                                                ConfiguratorModule::settingFilePathArchive,
                                                QStringLiteral("Excel"),
                                                tr("Сохранение архива"),
                                                tr("Файлы формата Excel 2007(*.xlsx)"),
                                                proposedExportName(),
                                                QStringLiteral(".xlsx")};
    const QString path = ConfiguratorModule::chooseFile(dialog, this);
    if (path.isEmpty())
        return;
    if (saveArchiveToXlsx(model, InteractionHooks::now().date(), path, g_device->deviceName()))
        ConfiguratorModule::openFileOrFolder(path);
    else
        g_device->showPopUpMessage(tr("При сохранении файла произошла ошибка!"));
}

QString TabArchive::proposedExportName() const
{
    const QDateTime now = InteractionHooks::now();
    return validFileName(tr("Архив ") + g_device->deviceName() + tr(" от ") + now.toString(QStringLiteral("dd MM yyyy"))
                         + QStringLiteral(" - ") + now.toString(QStringLiteral("hh mm ss")) + QStringLiteral(".xlsx"));
}

void TabArchive::moveToResults()
{
    if (archiveToResultsMenuOpening || archiveToResultsMenuShown)
        return;
    if (g_device->archiveModel()->isEmpty()) {
        g_device->showPopUpMessage(tr("Архив пуст или не загружен."));
        return;
    }
    archiveToResultsMenuOpening = true;
    archiveToResultsMenu = new MenuArchiveToResults(this);
    archiveToResultsMenu->resize(size());
    connect(archiveToResultsMenu, &MenuArchiveToResults::closeSignal, this, &TabArchive::menuMoveToResultsHided,
            Qt::DirectConnection);
    connect(archiveToResultsMenu, &MenuArchiveToResults::movedToResults, this, &TabArchive::archiveMovedToResults);
    archiveToResultsMenu->show();
    archiveToResultsMenu->raise();
    archiveToResultsMenuShown = true;
    archiveToResultsMenuOpening = false;
}

void TabArchive::menuMoveToResultsHided()
{
    archiveToResultsMenuShown = false;
}

void TabArchive::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (archiveToResultsMenuShown && archiveToResultsMenu)
        archiveToResultsMenu->resize(size());
}
