// The archive table under sorting and filtering: ArchiveModel filled with 512 varied frames (one
// calibrator's archive), with 100,000 and with 1,000,000 (stress sizes, to show how the cost grows).
// The archive page and its panel are shown offscreen at 1000 x 700; every sort (each column, both
// ways, on the page and on the panel) and every filter change is timed from the click to the
// painted, idle view. Prints median and max per kind, the worst median's ratio to 100 ms (below it
// a response feels immediate) and to a bare std::stable_sort of the keys, and the slowest action:
// the goal is every action under 100 ms at 100,000 rows and under 1 s at 1,000,000. At 512 frames it also times the page's export to a
// workbook and prints the file's size.
#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveXlsxExport.h"
#include "DeviceTestBench.h"
#include "MenuArchiveToResults.h"
#include "TabArchive.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr double immediateMs = 100.0;
constexpr int sortableColumns[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12};

struct Figures
{
    std::vector<double> times;
    double median() const
    {
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double max() const { return times.empty() ? 0 : *std::max_element(times.begin(), times.end()); }
};

QVector<ArchiveRecord> frames(int count)
{
    QVector<ArchiveRecord> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int position = i % 512;
        const QByteArray frame = ArchiveFrameBuilder::mixed(i, 123 + quint32(i / 512), 45678);
        records << ArchiveRecord(reinterpret_cast<const quint8*>(frame.constData()), quint32(position));
    }
    return records;
}

// From the action to a view that has painted and has nothing left to do.
double timed(QTableView* view, const std::function<void()>& action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    view->horizontalHeader()->viewport()->repaint();
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

Figures sorts(QTableView* view)
{
    Figures figures;
    for (int column : sortableColumns)
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder})
            figures.times.push_back(timed(view, [&] { view->horizontalHeader()->setSortIndicator(column, order); }));
    return figures;
}

Figures filters(MenuArchiveToResults* panel, QTableView* view)
{
    Figures figures;
    auto* errors = panel->findChild<QComboBox*>("comboBox_allowErrorCode");
    auto* hart = panel->findChild<QComboBox*>("comboBox_hartState");
    auto* serial = panel->findChild<QComboBox*>("comboBox_deviceSerialNum");
    const std::vector<std::pair<QComboBox*, int>> steps = {{errors, 1}, {hart, 2}, {hart, 1}, {serial, 1},
                                                           {hart, 0},   {serial, 0}, {errors, 0}};
    for (const auto& step : steps)
        figures.times.push_back(timed(view, [&] { step.first->setCurrentIndex(step.second); }));
    return figures;
}

// The floor: sorting the bare keys of every sortable column, both ways.
double bareSortMs(const ArchiveModel& model)
{
    Figures figures;
    for (int column : sortableColumns) {
        std::vector<double> keys;
        keys.reserve(size_t(model.rowCount()));
        for (int row = 0; row < model.rowCount(); ++row)
            keys.push_back(model.index(row, column).data(ArchiveModel::SortKeyRole).toDouble());
        for (bool ascending : {true, false}) {
            std::vector<double> copy = keys;
            QElapsedTimer timer;
            timer.start();
            std::stable_sort(copy.begin(), copy.end(), [ascending](double a, double b) { return ascending ? a < b : a > b; });
            figures.times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    return figures.median();
}

void printExport(ArchiveModel& model)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("archive.xlsx"));
    Figures figures;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer timer;
        timer.start();
        saveArchiveToXlsx(&model, QDate(2024, 3, 1), file, QStringLiteral("ЗФН"));
        figures.times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("  export to a workbook: median %.2f ms, %.1f KB\n", figures.median(),
                double(QFileInfo(file).size()) / 1024);
}

void print(const char* what, const Figures& figures)
{
    std::printf("  %-13s median %9.2f ms   max %9.2f ms   (%zu actions)\n", what, figures.median(), figures.max(),
                figures.times.size());
}

double run(int rows)
{
    DeviceTestBench bench(0);
    ArchiveModel& model = *bench.device().archiveModel();
    model.replaceRecords(frames(rows));
    TabArchive page;
    page.resize(1000, 700);
    page.show();
    QCoreApplication::processEvents();
    auto* pageTable = page.findChild<QTableView*>("tableView");
    const Figures pageSorts = sorts(pageTable);
    page.moveToResults();
    auto* panel = page.findChild<MenuArchiveToResults*>();
    auto* panelTable = panel->findChild<QTableView*>("tableView");
    QCoreApplication::processEvents();
    panel->findChild<QComboBox*>("comboBox_allowErrorCode")->setCurrentIndex(1);
    const Figures panelSorts = sorts(panelTable);
    const Figures filterChanges = filters(panel, panelTable);
    const double floor = bareSortMs(model);

    std::printf("%d frames\n", rows);
    print("page sort", pageSorts);
    print("panel sort", panelSorts);
    print("filter change", filterChanges);
    if (rows == 512)
        printExport(model);
    const double worst = std::max({pageSorts.median(), panelSorts.median(), filterChanges.median()});
    const double slowest = std::max({pageSorts.max(), panelSorts.max(), filterChanges.max()});
    std::printf("  worst median / %.0f ms = %.3f   worst median / bare stable_sort of the keys (%.3f ms) = %.1f\n",
                immediateMs, worst / immediateMs, floor, floor > 0 ? worst / floor : 0.0);
    std::printf("  slowest action %.1f ms\n", slowest);
    return slowest;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TestEnvironment::prepare();
    QApplication app(argc, argv);
    initChoiceLists();
    run(512);
    const double stress = run(100000);
    const double million = run(1000000);
    std::printf("goal at 100000 frames, every action under 100 ms: %s\n", stress < 100 ? "met" : "NOT met");
    std::printf("goal at 1000000 frames, every action under 1000 ms: %s\n", million < 1000 ? "met" : "NOT met");
    return 0;
}
