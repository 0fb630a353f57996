#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "AxisLabelCheck.h"
#include "BoundedWait.h"
#include "CalibratorMap.h"
#include "ConfiguratorFixture.h"
#include "GraphWidget.h"
#include "InteractionHooks.h"
#include "LegendCheck.h"
#include "LinenPlot.h"
#include "LinenPlotControl.h"
#include "MenuArchiveToResults.h"
#include "MultiSortFilterProxyModel.h"
#include "PollController.h"
#include "QuestionTexts.h"
#include "QueuedSpy.h"
#include "ResultsModel.h"
#include "TabArchive.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QComboBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>
#include <algorithm>
#include <cmath>
#include <functional>
#include <qwt_plot_curve.h>

using namespace ArchiveTestData;

namespace {

using Conditions = QList<FilterCondition>;
const QStringList idle{"readArchive", "clearArchive", "convertToExcel", "moveToResult", "plotGrapf"};
const QStringList reading{"stopRead", "plotGrapf", "Загрузка архива: %p%"};
const QStringList clearing{"stopClearArchive", "convertToExcel", "moveToResult", "plotGrapf", "Очистка архива: %p%"};

// The window with its archive page shown, on a device connected to an emulated calibrator whose
// archive is full of ArchiveFrameBuilder::mixed frames. Every question is recorded and answered
// with the button named `reply`.
struct ArchiveWindow
{
    ConfiguratorFixture f{1};
    TabArchive* page = f.window->findChild<TabArchive*>();
    QTabWidget* pages = requireChild<QTabWidget>(f.window.get(), "tabDeviceConfig");
    QWidget* archiveTab = requireChild<QWidget>(f.window.get(), "tabArchive");
    QStringList asked;
    // The buttons of each question asked.
    QStringList buttons;
    QString reply;

    ArchiveWindow()
    {
        for (int i = 0; i < CalibratorMap::ArchiveFrameCount; ++i)
            f.bench.emulator().setArchiveFrame(i, ArchiveFrameBuilder::mixed(i));
        if (!f.bench.connectTo(0))
            qFatal("no emulated calibrator");
        setPause(20);
        pages->setCurrentWidget(archiveTab);
        f.show();
        InteractionHooks::setMessageBoxRunner([this](QMessageBox& box) {
            asked << box.text();
            buttons << buttonTexts(box);
            for (QAbstractButton* button : box.buttons())
                if (button->text() == reply)
                    button->click();
        });
    }
    ~ArchiveWindow() { InteractionHooks::setMessageBoxRunner(nullptr); }

    DeviceZFN& device() { return f.bench.device(); }
    ArchiveModel& model() { return *device().archiveModel(); }
    CalibratorEmulator& emulator() { return f.bench.emulator(); }
    void setPause(int ms) { device().pollController()->archivePauseMs = ms; }
    bool running() { return device().pollController()->isArchiveRunning(); }
    void click(const char* name) { requireChild<QPushButton>(page, name)->click(); }
    // A click that asks, answered with `answer`.
    void click(const char* name, const QString& answer)
    {
        asked.clear();
        buttons.clear();
        reply = answer;
        click(name);
    }
    bool rowsArrive(int rows)
    {
        return BoundedWait::until([&] { return model().rowCount() >= rows; }, BoundedWait::jobMs);
    }
    // The buttons the operator can use, and the progress while it is shown.
    QStringList controls() const
    {
        QStringList usable;
        for (const char* name : {"readArchive", "stopRead", "clearArchive", "stopClearArchive", "convertToExcel",
                                 "moveToResult", "plotGrapf"}) {
            const QPushButton* button = requireChild<QPushButton>(page, ("pushButton_" + QByteArray(name)).constData());
            if (button->isVisible() && button->isEnabled())
                usable << name;
        }
        auto* progress = requireChild<QProgressBar>(page, "progressBar");
        if (progress->isVisible())
            usable << progress->format();
        return usable;
    }
    MenuArchiveToResults* panel() const { return page->findChild<MenuArchiveToResults*>(); }
    QComboBox* combo(const char* name) const { return requireChild<QComboBox>(panel(), name); }
    QTableView* table() const { return requireChild<QTableView>(panel(), "tableView"); }
    void clickInPanel(const char* name) const { requireChild<QPushButton>(panel(), name)->click(); }
    QList<double> results()
    {
        QList<double> references;
        for (int row = 0; row < device().resultsModel()->rowCount(); ++row)
            references << device().resultsModel()->record(row)->reference;
        return references;
    }
};

// How many rows the panel shows, and the distinct texts of one column among them.
QString shown(int column)
{
    QStringList texts = ArchiveTestData::column(*archiveFilterProxy, column);
    texts.removeDuplicates();
    return QString::number(archiveFilterProxy->rowCount()) + ": " + texts.join(' ');
}

// The references of the rows the panel shows, in their order.
QList<double> shownReferences()
{
    QList<double> references;
    for (const QString& text : ArchiveTestData::column(*archiveFilterProxy, 5))
        references << text.toDouble();
    return references;
}

const QStringList texts{"0", "10", "", "9", "abc", "00", "01"};

FilterCondition condition(int combine, int operation, const QString& pattern, int column = 0)
{
    FilterCondition c;
    c.combine = combine;
    c.column = column;
    c.operation = operation;
    c.pattern = QRegExp(pattern, Qt::CaseSensitive, QRegExp::Wildcard);
    return c;
}

// Rows named by column 0 with sort numbers in column 1 (role UserRole); "-" has none, "n" is not a number.
void appendKeyed(QStandardItemModel& source, const QString& name, const QVariant& key)
{
    auto* keyItem = new QStandardItem;
    keyItem->setData(key, Qt::UserRole);
    source.appendRow({new QStandardItem(name), keyItem});
}

void sortAndFilter(MultiSortFilterProxyModel& proxy, QStandardItemModel& source, Qt::SortOrder order)
{
    proxy.setSourceModel(&source);
    proxy.setSortRole(Qt::UserRole);
    proxy.sort(1, order);
    proxy.setFilters({condition(0, 0, "a*")});
}

// A click on the header of a table's column, scrolled into view first.
void clickHeader(QTableView* table, int section)
{
    table->scrollTo(table->model()->index(0, section));
    QHeaderView* header = table->horizontalHeader();
    const QPoint middle(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, middle);
}

// Frames whose every sortable column holds values in an order of its own: negative and positive
// numbers of several magnitudes (so an order by text differs from one by value), times over two
// years (so day-first text differs from time), and HART-online bytes of 0, 1 and 2.
QVector<ArchiveRecord> variedRecords()
{
    constexpr int hartOnlineByte = 3;
    QRandomGenerator random(20261208);
    const auto number = [&random] {
        return float((random.generateDouble() - 0.3) * std::pow(10.0, random.bounded(4)));
    };
    const QDateTime start(QDate(2023, 1, 1), QTime(0, 0));
    QVector<ArchiveRecord> records;
    for (int i = 0; i < 24; ++i) {
        const quint8 unitCode = quint8(5 + random.bounded(11));
        const quint32 serial = random.bounded(1u << random.bounded(7, 24));
        QByteArray frame = ArchiveFrameBuilder::measurement(unitCode, number(), number(), number(), serial);
        frame = ArchiveFrameBuilder::withHart(frame, number(), number());
        frame = ArchiveFrameBuilder::withErrorCode(frame, quint8(random.bounded(256)));
        frame = ArchiveFrameBuilder::withTemperature(frame, number());
        frame = ArchiveFrameBuilder::withTime(frame, start.addSecs(random.bounded(2 * 365 * 86400)));
        frame[hartOnlineByte] = char(random.bounded(3));
        records << record(frame, random.bounded(512u));
    }
    return records;
}

// What the operator reads a cell of the column as, to compare it with its neighbours.
double shownKey(int column, const QString& text)
{
    switch (column) {
    case 1: {
        const QDate date = QDate::fromString(text.left(8), "dd.MM.yy");
        const QTime time = QTime::fromString(text.mid(11), "hh:mm:ss");
        return double(date.toJulianDay()) * 86400 + time.msecsSinceStartOfDay() / 1000;
    }
    case 3:
        return TextDiscription::lstUnits.indexOf(text);
    case 12:
        return text == ArchiveModel::hartOnlineText(true) ? 1 : 0;
    default:
        return text.toDouble();
    }
}

// Two clicks on the column's header order the rows up, then down, by what the column shows;
// empty when they did, else the arrow and the column's texts as shown.
QString clickSortMismatch(QTableView* table, int section)
{
    QHeaderView* header = table->horizontalHeader();
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        clickHeader(table, section);
        const QStringList texts = ArchiveTestData::column(*table->model(), section);
        QList<double> keys;
        for (const QString& text : texts)
            keys << shownKey(section, text);
        const bool ordered = order == Qt::AscendingOrder ? std::is_sorted(keys.cbegin(), keys.cend())
                                                         : std::is_sorted(keys.crbegin(), keys.crend());
        if (!ordered || header->sortIndicatorSection() != section || header->sortIndicatorOrder() != order)
            return QStringLiteral("arrow %1 %2, rows: %3")
                .arg(header->sortIndicatorSection())
                .arg(header->sortIndicatorOrder() == Qt::AscendingOrder ? "up" : "down", texts.join(" | "));
    }
    return QString();
}

// The range of each axis of the archive page's two plots.
QStringList axes(TabArchive* page)
{
    QStringList ranges;
    for (GraphWidget* graph : {page->pressureGraph(), page->errorGraph()})
        for (int axis : {QwtPlot::xBottom, QwtPlot::yLeft}) {
            const QwtInterval range = graph->plot()->axisScaleDiv(axis).interval();
            ranges << QString("%1..%2").arg(range.minValue()).arg(range.maxValue());
        }
    return ranges;
}

// A row holding the number value, with the given child rows.
QStandardItem* node(int value, const QList<QStandardItem*>& children = {})
{
    auto* item = new QStandardItem;
    item->setData(value, Qt::DisplayRole);
    for (QStandardItem* child : children)
        item->appendRow(child);
    return item;
}

// The rows under parent in the model's order, each followed by its own rows in brackets.
QString tree(const QAbstractItemModel& model, const QModelIndex& parent = {})
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        rows << index.data().toString();
        if (model.rowCount(index) > 0)
            rows.last() += '(' + tree(model, index) + ')';
    }
    return rows.join(' ');
}

}  // namespace

Q_DECLARE_METATYPE(Conditions)

class TestArchiveTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        loadQtRussianAsAtStartUp();
    }

    void readResumeExportAndMove()
    {
        ArchiveWindow w;
        QSignalSpy reset(&w.model(), &QAbstractItemModel::modelReset);
        w.click("pushButton_readArchive");
        QCOMPARE(w.controls(), reading);
        QVERIFY(w.rowsArrive(2));
        QHideEvent minimised;
        QSpontaneKeyEvent::setSpontaneous(&minimised);
        qApp->notify(w.page, &minimised);
        QVERIFY(w.running());
        w.click("pushButton_stopRead");
        QCOMPARE(w.controls(), idle);
        QVERIFY(!w.running());
        const QStringList readSoFar = column(w.model(), 0);

        w.click("pushButton_readArchive", "Отмена");
        QCOMPARE(w.asked, QStringList{"Чтение архива было прервано!"});
        QCOMPARE(w.buttons, QStringList{"Отмена | Продолжить | Начать с начала"});
        QCOMPARE(column(w.model(), 0), readSoFar);

        // The stopped run's own stop signal must not end the run that continues it.
        w.setPause(0);
        QueuedSpy finished(&w.device(), &DeviceZFN::archiveReadFinished);
        w.click("pushButton_readArchive", "Продолжить");
        // The stopped run's stop signal was queued before the click.
        QCoreApplication::processEvents();
        QVERIFY(w.controls() == reading || finished.count() == 1);
        QVERIFY(finished.count() == 1 || finished.wait(BoundedWait::jobMs));
        QTRY_COMPARE(w.controls(), idle);
        QCOMPARE(w.model().rowCount(), CalibratorMap::ArchiveFrameCount);
        QCOMPARE(reset.count(), 1);

        w.emulator().clearRequests();
        w.click("pushButton_readArchive", "Отмена");
        QCOMPARE(w.asked, QStringList{"Загруженные кадры будут удалены из таблицы. Считать архив заново?"});
        QCOMPARE(w.buttons, QStringList{"Считать | Отмена"});
        QCOMPARE(w.model().rowCount(), CalibratorMap::ArchiveFrameCount);
        QCOMPARE(w.emulator().requestCount(), 0);

        // A second click while the file dialog is open starts no second export.
        QTemporaryDir dir;
        QStringList proposed;
        QStringList answers{dir.filePath("archive.xlsx"), dir.filePath("missing/archive.xlsx")};
        FileChooser::setSink([&](const FileChooser::Request& request) {
            proposed << request.path;
            w.click("pushButton_convertToExcel");
            return answers.takeFirst();
        });
        QStringList opened;
        ConfiguratorModule::setUrlOpener([&](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        InteractionHooks::setClock([] { return QDateTime(QDate(2026, 12, 5), QTime(14, 3, 27)); });
        w.click("pushButton_convertToExcel");
        w.click("pushButton_convertToExcel");
        // The next export is proposed in the folder of the last one.
        const QString name = "Архив ЗФН от 05 12 2026 - 14 03 27.xlsx";
        QCOMPARE(proposed, QStringList({ConfiguratorModule::settingsFolder() + "Excel/" + name, dir.filePath(name)}));
        QCOMPARE(opened, QStringList{dir.filePath("archive.xlsx")});
        QVERIFY(QFileInfo::exists(opened.first()));
        QCOMPARE(w.f.bench.popUps(), QStringList{"При сохранении файла произошла ошибка!"});
        ConfiguratorModule::setUrlOpener(nullptr);
        InteractionHooks::setClock(nullptr);

        // One panel, over the whole page. Frames with an error code (every tenth) are hidden until
        // allowed; frame i is from serial 45678 when i % 4 == 3, else 00123, over HART when i % 3 == 1.
        w.click("pushButton_moveToResult");
        w.click("pushButton_moveToResult");
        QCOMPARE(w.page->findChildren<MenuArchiveToResults*>().size(), 1);
        w.f.window->resize(w.f.window->size() + QSize(100, 50));
        QTRY_COMPARE(w.panel()->geometry(), w.page->rect());
        QCOMPARE(shown(11), QString("461: 0"));
        QCOMPARE(column(*w.combo("comboBox_deviceSerialNum")->model(), 0), QStringList({"*", "00123", "45678"}));
        w.combo("comboBox_deviceSerialNum")->setCurrentText("00123");
        QCOMPARE(shown(4), QString("358: 00123"));
        w.combo("comboBox_deviceSerialNum")->setCurrentIndex(0);
        w.combo("comboBox_hartState")->setCurrentText("Да");
        QCOMPARE(shown(12), QString("154: Да"));
        w.combo("comboBox_hartState")->setCurrentText("Нет");
        QCOMPARE(shown(12), QString("307: Нет"));
        w.combo("comboBox_hartState")->setCurrentIndex(0);
        w.combo("comboBox_allowErrorCode")->setCurrentText("Да");
        QCOMPARE(shown(11), QString("512: 0 3"));
        w.clickInPanel("pushButton_moveSelected");
        archiveFilterProxy->setFilters({condition(0, 0, "none")});
        w.clickInPanel("pushButton_move");
        QCOMPARE(w.f.bench.popUps().mid(1), QStringList({"Кадры архива не выделены!", "Список кадров пуст!"}));
        w.clickInPanel("pushButton_close");
        QVERIFY(!archiveToResultsMenuShown);
        QTRY_VERIFY(!w.panel() && !archiveFilterProxy);

        w.click("pushButton_moveToResult");
        for (int row : {4, 1, 4})
            w.table()->selectionModel()->select(archiveFilterProxy->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QList<double> selected{shownReferences().at(1), shownReferences().at(4)};
        w.asked.clear();
        w.buttons.clear();
        w.clickInPanel("pushButton_moveSelected");
        QVERIFY(w.asked.isEmpty());
        QCOMPARE(w.results(), selected);
        QTRY_VERIFY(!w.panel());

        // Dates sort as time (the frames span months), not as their day-first text, and the frames
        // go into the results in the order shown. Their one serial reaches the settings.
        w.pages->setCurrentWidget(w.archiveTab);
        w.click("pushButton_moveToResult");
        w.combo("comboBox_deviceSerialNum")->setCurrentText("45678");
        w.table()->sortByColumn(1, Qt::DescendingOrder);
        const QStringList numbers = column(*archiveFilterProxy, 0);
        QCOMPARE(QStringList({numbers.first(), numbers.last()}), QStringList({"512", "4"}));
        w.reply = "Отмена";
        w.clickInPanel("pushButton_move");
        QCOMPARE(w.asked, QStringList{"Результаты уже содержат точки. Заменить их кадрами архива?"});
        QCOMPARE(w.buttons, QStringList{"Заменить | Отмена"});
        QCOMPARE(w.results(), selected);
        w.reply = "Заменить";
        const QList<double> shownOrder = shownReferences();
        w.clickInPanel("pushButton_move");
        QCOMPARE(w.results(), shownOrder);
        QTRY_COMPARE(w.device().currentChannel()->serial, QString("45678"));
        QCOMPARE(w.pages->currentWidget(), requireChild<QWidget>(w.f.window.get(), "tabVerification"));
        QCOMPARE(requireChild<QTabWidget>(w.f.window.get(), "tabVerificationTabWidget")->currentWidget(),
                 requireChild<QWidget>(w.f.window.get(), "tabResults"));
    }

    // A calibrator's whole archive moves into the results, beyond their limit of measured points;
    // only more frames (merged archive files) are refused, before the question, changing nothing.
    void wholeArchiveMovesIntoTheResults_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("selected");
        QTest::newRow("511 shown") << 511 << false;
        QTest::newRow("512 shown") << 512 << false;
        QTest::newRow("513 shown") << 513 << false;
        QTest::newRow("512 selected") << 512 << true;
        QTest::newRow("513 selected") << 513 << true;
    }
    void wholeArchiveMovesIntoTheResults()
    {
        QFETCH(int, frames);
        QFETCH(bool, selected);
        ArchiveWindow w;
        QVector<ArchiveRecord> records;
        QList<double> references;
        for (int i = 0; i < frames; ++i) {
            records << record(frameAt(i), quint32(i % CalibratorMap::ArchiveFrameCount));
            references << i;
        }
        w.model().replaceRecords(records);
        ResultsModel& results = *w.device().resultsModel();
        for (double reference : {-1.0, -2.0}) {
            ResultRecord point;
            point.setReference(reference);
            results.append(point);
        }
        w.click("pushButton_moveToResult");
        QCOMPARE(archiveFilterProxy->rowCount(), frames);
        if (selected)
            w.table()->selectAll();
        w.reply = "Заменить";
        w.clickInPanel(selected ? "pushButton_moveSelected" : "pushButton_move");
        if (frames > CalibratorMap::ArchiveFrameCount) {
            QCOMPARE(w.f.bench.popUps(),
                     QStringList{QString("Выбрано кадров: %1. В результаты можно перенести не более 512.").arg(frames)});
            QVERIFY(w.asked.isEmpty());
            QCOMPARE(w.results(), QList<double>({-1, -2}));
            QVERIFY(w.panel());
            return;
        }
        QCOMPARE(w.asked, QStringList{"Результаты уже содержат точки. Заменить их кадрами архива?"});
        QCOMPARE(w.results(), references);
        QCOMPARE(results.record(frames - 1)->number, frames);
        QTRY_VERIFY(!w.panel());
        QVERIFY(w.f.bench.popUps().isEmpty());
    }

    void restartPollClearAndLeave()
    {
        ArchiveWindow w;
        w.click("pushButton_convertToExcel");
        w.click("pushButton_moveToResult");
        QCOMPARE(w.f.bench.popUps(), QStringList({"Архив пуст или не загружен.", "Архив пуст или не загружен."}));
        // A serial keeps its own frames, not those of a longer serial that it begins.
        QVector<ArchiveRecord> records;
        for (int i = 0; i < 4; ++i)
            records << record(ArchiveFrameBuilder::mixed(i, 12345, 123456), quint32(i));
        w.model().replaceRecords(records);
        w.click("pushButton_moveToResult");
        w.combo("comboBox_deviceSerialNum")->setCurrentText("12345");
        QCOMPARE(shown(4), QString("3: 12345"));
        w.clickInPanel("pushButton_close");
        QTRY_VERIFY_WITH_TIMEOUT(!w.panel(), BoundedWait::stepMs);

        w.click("pushButton_readArchive", "Считать");
        QCOMPARE(w.model().rowCount(), 0);
        QVERIFY(w.rowsArrive(1));
        w.click("pushButton_stopRead");
        QSignalSpy reset(&w.model(), &QAbstractItemModel::modelReset);
        w.click("pushButton_readArchive", "Начать с начала");
        QCOMPARE(reset.count(), 1);
        QCOMPARE(w.model().rowCount(), 0);
        QVERIFY(w.rowsArrive(1));
        w.pages->setCurrentIndex(0);
        QVERIFY(!w.running());
        QCOMPARE(w.page->state(), TabArchive::Idle);
        QVERIFY(w.model().resumePosition > 0);
        w.pages->setCurrentWidget(w.archiveTab);

        // While a poll holds the port, read and clear are refused before they ask. The poll gets
        // its values and the read's late reply is gone, so nothing ends the poll before the clicks.
        w.emulator().setValue("1", "100");
        w.emulator().setValue("5", "12");
        QVERIFY(w.f.bench.flushLine());
        QVERIFY(w.device().startPoll());
        w.click("pushButton_readArchive", "Продолжить");
        w.click("pushButton_clearArchive");
        w.device().stopPoll();
        QVERIFY(w.asked.isEmpty());
        const QString busy = "Дождитесь окончания текущей операции!";
        QCOMPARE(w.f.bench.popUps().mid(2), QStringList({busy, busy}));
        QCOMPARE(w.controls(), idle);

        QVERIFY(w.f.bench.flushLine());
        w.emulator().clearRequests();
        w.click("pushButton_clearArchive", "Отмена");
        QCOMPARE(w.asked, QStringList{"Очистить архив калибратора?"});
        QCOMPARE(w.buttons, QStringList{"Очистить | Отмена"});
        QVERIFY(!w.running() && w.device().portOwner()->isFree());
        QCOMPARE(w.emulator().requestCount(), 0);
        w.click("pushButton_clearArchive", "Очистить");
        QCOMPARE(w.controls(), clearing);
        QVERIFY(w.emulator().waitForRequests(4, BoundedWait::stepMs));
        // The end of the clear, however it came, brings the page back.
        w.device().stopClearArchive();
        QTRY_COMPARE_WITH_TIMEOUT(w.controls(), idle, BoundedWait::stepMs);
        QCOMPARE(int(w.model().resumePosition), 0);
        QCOMPARE(w.emulator().archiveFrame(0), ArchiveFrameBuilder::cleared());
        QVERIFY(w.emulator().archiveFrame(10) != ArchiveFrameBuilder::cleared());

        w.click("pushButton_clearArchive");
        QTRY_VERIFY_WITH_TIMEOUT(w.running(), BoundedWait::stepMs);
        w.pages->setCurrentIndex(0);
        QVERIFY(!w.running());
        QCOMPARE(w.page->state(), TabArchive::Idle);
    }

    void plotsFollowUnitsAndLeaveOutMissingValues()
    {
        DeviceTestBench bench;
        ArchiveModel& model = *bench.device().archiveModel();
        constexpr quint8 kilopascalCode = 6;
        const QByteArray hart = ArchiveFrameBuilder::withHart(
            ArchiveFrameBuilder::measurement(kilopascalCode, 2000, 2010, 0.5f, 1), 2004, 0.25f);
        const QByteArray noMeasured = ArchiveFrameBuilder::measurement(kilopascalCode, 1000, std::nanf(""), 1.5f, 1);
        const QByteArray megapascal = ArchiveFrameBuilder::measurement(kilopascalCode + 1, 3, 3.5f, -0.5f, 1);
        const auto at = [](const QByteArray& frame, int minute) {
            return ArchiveFrameBuilder::withTime(frame, QDateTime(QDate(2026, 3, 1), QTime(10, minute)));
        };
        model.replaceRecords({record(at(hart, 30), 0), record(at(noMeasured, 10), 1), record(at(megapascal, 20), 2)});
        TabArchive page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        LinenPlot* pressure = page.pressureGraph()->plot();
        LinenPlot* error = page.errorGraph()->plot();
        auto samples = [](LinenPlot* plot, int curve, bool times = false) {
            QList<double> values;
            for (size_t i = 0; i < plot->curve(curve)->dataSize(); ++i)
                values << (times ? plot->curve(curve)->sample(int(i)).x() : plot->curve(curve)->sample(int(i)).y());
            return values;
        };

        requireChild<QPushButton>(&page, "pushButton_plotGrapf")->click();
        QCOMPARE(samples(pressure, 0), QList<double>({2000, 1000, 3000}));
        QCOMPARE(samples(pressure, 1), QList<double>({2010, 3500}));
        QCOMPARE(samples(pressure, 2), QList<double>({2004}));
        QCOMPARE(samples(error, 0), QList<double>({0.5, 1.5, -0.5}));
        QCOMPARE(samples(error, 1), QList<double>({0.25}));
        QCOMPARE(samples(pressure, 0, true), QList<double>({1, 2, 3}));

        page.findChild<QComboBox*>()->setCurrentIndex(2);
        QCOMPARE(pressure->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("Давление, МПа"));
        QCOMPARE(samples(pressure, 0), QList<double>({2, 1, 3}));
        QCOMPARE(samples(pressure, 2), QList<double>({2.004}));
        QCOMPARE(samples(error, 0), QList<double>({0.5, 1.5, -0.5}));

        // Sorted by the stored reference, the rows are no longer in time order: the time axis
        // still joins the points in time order, the index axis in row order.
        model.sort(5, Qt::AscendingOrder);
        page.pressureGraph()->control()->setTimeMode();
        requireChild<QPushButton>(&page, "pushButton_plotGrapf")->click();
        QCOMPARE(samples(pressure, 0), QList<double>({1, 3, 2}));
        QCOMPARE(samples(pressure, 1), QList<double>({3.5, 2.01}));
        const QList<double> times = samples(pressure, 0, true);
        QCOMPARE(times.first(), double(pressure->startTime().msecsTo(QDateTime(QDate(2026, 3, 1), QTime(10, 10)))));
        QVERIFY(std::is_sorted(times.cbegin(), times.cend()) && times.first() < times.last());
        page.pressureGraph()->control()->setIndexMode();
        QCOMPARE(samples(pressure, 0), QList<double>({3, 1, 2}));
    }

    // Every legend entry of both plots shows whole on one line, in a page as wide as the window
    // opens and in a narrower one.
    void plotLegendsShowWholeEntries_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("window width") << 973;
        QTest::newRow("narrow") << 760;
    }
    void plotLegendsShowWholeEntries()
    {
        QFETCH(int, width);
        DeviceTestBench bench;
        bench.device().archiveModel()->replaceRecords(ArchiveTestData::mixedRecords(60));
        TabArchive page;
        page.resize(width, 640);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        requireChild<QPushButton>(&page, "pushButton_plotGrapf")->click();
        QCOMPARE(cutLegendEntries(page.pressureGraph()->plot()), QStringList());
        QCOMPARE(cutLegendEntries(page.errorGraph()->plot()), QStringList());
    }

    // Both plots' time axes over a whole archive of ten or of three months, in a window as wide as it
    // opens and a wider one: no label over another, no text at two ticks, and three labels where
    // the axis has room for them.
    void timeAxesReadAtEveryWidth_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("spacingSeconds");
        for (const QSize& size : {QSize(973, 681), QSize(1280, 800)}) {
            const QString window = QString("%1x%2, ").arg(size.width()).arg(size.height());
            QTest::newRow(qPrintable(window + "ten months")) << size << 50713;
            QTest::newRow(qPrintable(window + "three months")) << size << 15356;
        }
    }
    void timeAxesReadAtEveryWidth()
    {
        QFETCH(QSize, size);
        QFETCH(int, spacingSeconds);
        ConfiguratorFixture f;
        QVector<ArchiveRecord> records;
        const QDateTime first(QDate(2025, 12, 25), QTime(17, 46, 40));
        for (int i = 0; i < 513; ++i)
            records << record(ArchiveFrameBuilder::withTime(ArchiveFrameBuilder::mixed(i % 512), first.addSecs(i * spacingSeconds)),
                              quint32(i % 512));
        f.bench.device().archiveModel()->replaceRecords(records);
        auto* page = f.window->findChild<TabArchive*>();
        requireChild<QTabWidget>(f.window.get(), "tabDeviceConfig")
            ->setCurrentWidget(requireChild<QWidget>(f.window.get(), "tabArchive"));
        f.window->resize(size);
        f.show();
        requireChild<QPushButton>(page, "pushButton_plotGrapf")->click();
        for (GraphWidget* graph : {page->pressureGraph(), page->errorGraph()}) {
            graph->control()->setTimeMode();
            const int ticks = graph->plot()->axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick).size();
            QVERIFY2(ticks >= qMin(3, axisLabelRoom(graph->plot(), QwtPlot::xBottom)), qPrintable(QString::number(ticks)));
            QCOMPARE(clashingAxisLabels(graph->plot(), QwtPlot::xBottom), QStringList());
        }
    }

    // After a read the plots show the loaded frames or nothing: a read from the start empties
    // every curve at once, the HART ones too, and plots built while frames still came are built
    // again over all of them when the read ends. The header's arrow goes with a sort only: rows
    // read, or loaded from a file, come in their own order.
    void plotsAndSortArrowFollowTheLoadedFrames()
    {
        ArchiveWindow w;
        constexpr int errorColumn = 7;
        LinenPlot* pressure = w.page->pressureGraph()->plot();
        LinenPlot* error = w.page->errorGraph()->plot();
        const auto drawn = [&] {
            QList<int> sizes;
            for (int curve : {0, 1, 2})
                sizes << int(pressure->curve(curve)->dataSize());
            for (int curve : {0, 1})
                sizes << int(error->curve(curve)->dataSize());
            return sizes;
        };
        const QList<int> nothing{0, 0, 0, 0, 0};
        auto* table = requireChild<QTableView>(w.page, "tableView");
        QHeaderView* header = table->horizontalHeader();
        const auto plotSorted = [&] {
            table->sortByColumn(errorColumn, Qt::DescendingOrder);
            w.click("pushButton_plotGrapf");
            return header->sortIndicatorSection() == errorColumn && !drawn().contains(0);
        };

        w.model().replaceRecords(mixedRecords(30));
        QVERIFY(plotSorted());
        w.click("pushButton_readArchive", "Считать");
        QCOMPARE(header->sortIndicatorSection(), -1);
        QCOMPARE(drawn(), nothing);
        QVERIFY(w.rowsArrive(4));
        QCOMPARE(header->sortIndicatorSection(), -1);
        QCOMPARE(drawn(), nothing);
        QueuedSpy stopped(&w.device(), &DeviceZFN::archiveReadStoped);
        w.click("pushButton_stopRead");
        QVERIFY(stopped.wait(BoundedWait::jobMs));
        QCOMPARE(drawn(), nothing);

        QVERIFY(plotSorted());
        w.click("pushButton_readArchive", "Начать с начала");
        QCOMPARE(drawn(), nothing);
        QCOMPARE(header->sortIndicatorSection(), -1);
        QVERIFY(w.rowsArrive(2));
        w.click("pushButton_plotGrapf");
        QVERIFY(w.rowsArrive(drawn().first() + 2));
        w.click("pushButton_stopRead");
        QVERIFY(stopped.wait(BoundedWait::jobMs));
        QCOMPARE(drawn().first(), w.model().rowCount());

        QVERIFY(plotSorted());
        w.click("pushButton_readArchive", "Продолжить");
        QCOMPARE(header->sortIndicatorSection(), -1);
        w.click("pushButton_stopRead");
        QVERIFY(stopped.wait(BoundedWait::jobMs));

        QVERIFY(plotSorted());
        w.model().replaceRecords(mixedRecords(5));
        QCOMPARE(drawn(), nothing);
        QCOMPARE(header->sortIndicatorSection(), -1);
        QCOMPARE(column(w.model(), 0), QStringList({"1", "2", "3", "4", "5"}));
    }

    // A click on a column the rows are never sorted by (the transmitter's serial, the empty last
    // column) leaves the arrow and the rows as they were, on the page and on its panel, where the
    // rows come back in that order when a filter rebuilds them; the other columns sort.
    void sortArrowStaysWhereTheRowsAreSorted()
    {
        constexpr int errorColumn = 7;
        ArchiveWindow w;
        w.model().replaceRecords(mixedRecords(30));
        const auto check = [&](QTableView* table, const std::function<void()>& rebuild) {
            QHeaderView* header = table->horizontalHeader();
            const QStringList loaded = column(*table->model(), 0);
            clickHeader(table, errorColumn);
            clickHeader(table, errorColumn);
            QCOMPARE(header->sortIndicatorSection(), errorColumn);
            QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
            const QStringList sorted = column(*table->model(), 0);
            QVERIFY(sorted != loaded);
            for (int unsorted : {8, 13}) {
                clickHeader(table, unsorted);
                QCOMPARE(header->sortIndicatorSection(), errorColumn);
                QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
                rebuild();
                QCOMPARE(column(*table->model(), 0), sorted);
            }
            clickHeader(table, 2);
            QCOMPARE(header->sortIndicatorSection(), 2);
            QVERIFY(column(*table->model(), 0) != sorted);
        };
        check(requireChild<QTableView>(w.page, "tableView"), [] {});
        w.click("pushButton_moveToResult");
        w.combo("comboBox_allowErrorCode")->setCurrentText("Да");
        check(w.table(), [&] {
            w.combo("comboBox_deviceSerialNum")->setCurrentText("00123");
            w.combo("comboBox_deviceSerialNum")->setCurrentIndex(0);
        });
    }

    // A click on the header of a column that sorts orders the rows by what the column shows, on the
    // page and on its panel: numbers by value, dates by time, units in the order of their list and
    // "Нет" before "Да", up on the first click and down on the second.
    void headerClicksSortByTheShownValues_data()
    {
        QTest::addColumn<int>("column");
        const char* const names[] = {"number", "date", "temperature", "unit", "serial", "reference", "measured",
                                     "error", nullptr, "HART pressure", "HART error", "error code", "HART online"};
        for (int column = 0; column < int(std::size(names)); ++column)
            if (names[column])
                QTest::newRow(names[column]) << column;
    }

    void headerClicksSortByTheShownValues()
    {
        QFETCH(int, column);
        ArchiveWindow w;
        w.model().replaceRecords(variedRecords());
        QCOMPARE(clickSortMismatch(requireChild<QTableView>(w.page, "tableView"), column), QString());
        w.click("pushButton_moveToResult");
        w.combo("comboBox_allowErrorCode")->setCurrentText("Да");
        QCOMPARE(w.table()->model()->rowCount(), w.model().rowCount());
        QCOMPARE(clickSortMismatch(w.table(), column), QString());
    }

    // Emptied for a read from the start, the plots show the axes of a new page until they are built
    // again, not those of the frames they showed.
    void restartedPlotsShowTheAxesOfANewPage_data()
    {
        QTest::addColumn<bool>("interrupted");
        QTest::addColumn<QString>("answer");
        QTest::newRow("interrupted read, from the start") << true << "Начать с начала";
        QTest::newRow("loaded frames, read again") << false << "Считать";
    }

    void restartedPlotsShowTheAxesOfANewPage()
    {
        QFETCH(bool, interrupted);
        QFETCH(QString, answer);
        ArchiveWindow w;
        const QStringList fresh = axes(w.page);
        if (interrupted) {
            w.click("pushButton_readArchive");
            QVERIFY(w.rowsArrive(3));
            QueuedSpy stopped(&w.device(), &DeviceZFN::archiveReadStoped);
            w.click("pushButton_stopRead");
            QVERIFY(stopped.wait(BoundedWait::jobMs));
        } else {
            w.model().replaceRecords(mixedRecords(30));
        }
        w.click("pushButton_plotGrapf");
        QVERIFY(axes(w.page) != fresh);
        w.click("pushButton_readArchive", answer);
        QCOMPARE(w.controls(), reading);
        QCOMPARE(axes(w.page), fresh);
        w.click("pushButton_stopRead");
    }

    void filters_data()
    {
        QTest::addColumn<Conditions>("filters");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("none") << Conditions{} << texts;
        QTest::newRow("only matches of 0") << Conditions{condition(0, 0, "0")} << QStringList{"0", "00"};
        QTest::newRow("only matches of *") << Conditions{condition(0, 0, "*")} << texts;
        QTest::newRow("not only matches") << Conditions{condition(0, 1, "0")} << QStringList{"10", "", "9", "abc", "01"};
        QTest::newRow("less, as text") << Conditions{condition(0, 2, "9")} << QStringList{"0", "10", "", "00", "01"};
        QTest::newRow("at most") << Conditions{condition(0, 3, "9")} << QStringList{"0", "10", "", "9", "00", "01"};
        QTest::newRow("greater") << Conditions{condition(0, 4, "9")} << QStringList{"abc"};
        QTest::newRow("at least") << Conditions{condition(0, 5, "9")} << QStringList{"9", "abc"};
        QTest::newRow("unknown operation") << Conditions{condition(0, 7, "0")} << texts;
        QTest::newRow("and") << Conditions{condition(0, 5, "0"), condition(0, 2, "9")} << QStringList{"0", "10", "00", "01"};
        QTest::newRow("or") << Conditions{condition(0, 0, "0"), condition(1, 0, "9")} << QStringList{"0", "9", "00"};
        QTest::newRow("combine 2 is left out")
            << Conditions{condition(0, 0, "0"), condition(1, 0, "9"), condition(2, 0, "abc")}
            << QStringList{"0", "9", "00"};
        QTest::newRow("all conditions count")
            << Conditions{condition(0, 0, "0"), condition(1, 0, "abc"), condition(0, 1, "abc")}
            << QStringList{"0", "00"};
        QTest::newRow("first condition joins by and") << Conditions{condition(1, 0, "0")} << QStringList{"0", "00"};
        QTest::newRow("a column past the source tests an empty text") << Conditions{condition(0, 0, "*", 5)} << texts;
        QTest::newRow("a column past the source matches no 0") << Conditions{condition(0, 0, "0", 5)} << QStringList{};
    }

    void filters()
    {
        QFETCH(Conditions, filters);
        QFETCH(QStringList, kept);
        QStandardItemModel source;
        for (const QString& text : texts)
            source.appendRow(new QStandardItem(text));
        MultiSortFilterProxyModel proxy;
        proxy.setSourceModel(&source);
        proxy.setFilters(filters);
        QCOMPARE(column(proxy, 0), kept);
        proxy.removeFilter();
        QCOMPARE(column(proxy, 0), texts);
    }

    // A filter change rebuilds the proxy as a whole; rows added to a filtered, sorted proxy go in one
    // by one. Both give the same rows in the same order, and a changed key moves its row.
    void wholeRebuildMatchesRowsAddedOneByOne()
    {
        const QList<QPair<QString, QVariant>> rows{{"a3", 3.0}, {"b-", QVariant()}, {"a1", 1.0},   {"x2", 2.0},
                                                   {"a2", 2.0}, {"a-", QVariant()}, {"a10", 10.0}, {"a0", -0.5},
                                                   {"an", qQNaN()}};
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            QStandardItemModel growing;
            MultiSortFilterProxyModel incremental;
            sortAndFilter(incremental, growing, order);
            QStandardItemModel filled;
            for (const auto& row : rows) {
                appendKeyed(growing, row.first, row.second);
                appendKeyed(filled, row.first, row.second);
            }
            MultiSortFilterProxyModel whole;
            sortAndFilter(whole, filled, order);
            const QStringList ascending{"a0", "a1", "a2", "a3", "a10", "a-", "an"};
            const QStringList descending{"a-", "an", "a10", "a3", "a2", "a1", "a0"};
            QCOMPARE(column(whole, 0), order == Qt::AscendingOrder ? ascending : descending);
            QCOMPARE(column(incremental, 0), column(whole, 0));

            growing.item(2, 1)->setData(20.0, Qt::UserRole);
            filled.item(2, 1)->setData(20.0, Qt::UserRole);
            QCOMPARE(column(whole, 0).indexOf("a1"), order == Qt::AscendingOrder ? 4 : 2);
            QCOMPARE(column(incremental, 0), column(whole, 0));
        }
    }

    // A text sorts as a text even when it spells a number; values that are numbers go first, rows
    // without a value last. Equal texts keep their order. A new case rule sorts the rows again at once.
    void textsSortAsTexts()
    {
        QStandardItemModel source;
        for (const QVariant& value : QVariantList{"b", "a", "B", "10", 9.5, "9", 7, QVariant()}) {
            auto* item = new QStandardItem;
            item->setData(value, Qt::DisplayRole);
            source.appendRow(item);
        }
        MultiSortFilterProxyModel proxy;
        proxy.setSourceModel(&source);
        proxy.sort(0, Qt::AscendingOrder);
        QCOMPARE(column(proxy, 0), QStringList({"7", "9.5", "10", "9", "B", "a", "b", ""}));
        proxy.sort(0, Qt::DescendingOrder);
        QCOMPARE(column(proxy, 0), QStringList({"", "b", "a", "B", "9", "10", "9.5", "7"}));
        proxy.setSortCaseSensitivity(Qt::CaseInsensitive);
        QCOMPARE(column(proxy, 0), QStringList({"", "b", "B", "a", "9", "10", "9.5", "7"}));
        proxy.sort(0, Qt::AscendingOrder);
        QCOMPARE(column(proxy, 0), QStringList({"7", "9.5", "10", "9", "a", "b", "B", ""}));
    }

    // Rows of equal keys keep the order they have in the source, sorted up or down, by numbers or
    // by texts, and again after a filter has taken one of them away.
    void equalKeysKeepTheSourceOrder_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QVariantList>("keys");
        QTest::addColumn<QStringList>("sorted");
        const QVariantList numbers{2, 1, 2.0, 1, 3, 2};
        const QVariantList texts{"b", "a", "b", "c", "a", "b"};
        QTest::newRow("numbers up") << 1 << int(Qt::AscendingOrder) << numbers
                                    << QStringList{"r1", "r3", "r0", "r2", "r5", "r4"};
        QTest::newRow("numbers down") << 1 << int(Qt::DescendingOrder) << numbers
                                      << QStringList{"r4", "r0", "r2", "r5", "r1", "r3"};
        QTest::newRow("texts up") << 2 << int(Qt::AscendingOrder) << texts
                                  << QStringList{"r1", "r4", "r0", "r2", "r5", "r3"};
        QTest::newRow("texts down") << 2 << int(Qt::DescendingOrder) << texts
                                    << QStringList{"r3", "r0", "r2", "r5", "r1", "r4"};
        QTest::newRow("all equal up") << 1 << int(Qt::AscendingOrder) << QVariantList{5, 5, 5.0, 5, 5, 5}
                                      << QStringList{"r0", "r1", "r2", "r3", "r4", "r5"};
        QTest::newRow("all equal down") << 2 << int(Qt::DescendingOrder) << QVariantList{"x", "x", "x", "x", "x", "x"}
                                        << QStringList{"r0", "r1", "r2", "r3", "r4", "r5"};
    }
    void equalKeysKeepTheSourceOrder()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        QFETCH(QVariantList, keys);
        QFETCH(QStringList, sorted);
        QStandardItemModel source(keys.size(), 3);
        for (int row = 0; row < keys.size(); ++row) {
            source.setData(source.index(row, 0), QStringLiteral("r%1").arg(row));
            source.setData(source.index(row, column), keys.at(row));
        }
        MultiSortFilterProxyModel proxy;
        proxy.setSourceModel(&source);
        proxy.sort(column, Qt::SortOrder(order));
        QCOMPARE(ArchiveTestData::column(proxy, 0), sorted);
        proxy.setFilters({condition(0, 1, "r2")});
        sorted.removeOne("r2");
        QCOMPARE(ArchiveTestData::column(proxy, 0), sorted);
    }

    // Rows sort among their siblings by their own values, at any depth, also where a parent holds
    // more rows than the top level, and a row added later finds its place among its own siblings.
    void childRowsSortWithinTheirParent()
    {
        QStandardItemModel source;
        source.appendRow(node(30, {node(5), node(1), node(4), node(2), node(3)}));
        source.appendRow(node(10, {node(7), node(9, {node(8), node(6)})}));
        source.appendRow(node(20));
        MultiSortFilterProxyModel proxy;
        proxy.setSourceModel(&source);
        proxy.sort(0, Qt::AscendingOrder);
        QCOMPARE(tree(proxy), QString("10(7 9(6 8)) 20 30(1 2 3 4 5)"));
        proxy.sort(0, Qt::DescendingOrder);
        QCOMPARE(tree(proxy), QString("30(5 4 3 2 1) 20 10(9(8 6) 7)"));
        source.item(1)->child(1)->appendRow(node(7));
        QCOMPARE(tree(proxy), QString("30(5 4 3 2 1) 20 10(9(8 7 6) 7)"));
    }

    void headersMarkTheSortList()
    {
        QStandardItemModel source(2, 6);
        source.setHorizontalHeaderLabels({"A", "B", "C", "D", "E", "F"});
        MultiSortFilterProxyModel proxy;
        proxy.setSourceModel(&source);
        auto headers = [&] {
            QStringList texts;
            for (int section = 0; section < 6; ++section)
                texts << proxy.headerData(section, Qt::Horizontal).toString();
            return texts.join(' ');
        };
        proxy.addSortColumn(3, Qt::AscendingOrder);
        proxy.addSortColumn(5, Qt::DescendingOrder);
        QCOMPARE(headers(), QString("A B C ↓ D E ↑2 F"));
        QCOMPARE(proxy.headerData(3, Qt::Vertical).toString(), source.headerData(3, Qt::Vertical).toString());
        QVERIFY(proxy.isSorted(5) && !proxy.isSorted(4));
        QCOMPARE(proxy.sortOrder(5), Qt::DescendingOrder);
        proxy.changeSortOrder(3, Qt::DescendingOrder);
        proxy.changeSortOrder(1, Qt::DescendingOrder);
        QCOMPARE(headers(), QString("A B C ↑ D E ↑2 F"));
        proxy.removeSortColumn(3);
        QCOMPARE(headers(), QString("A B C D E ↑ F"));
        proxy.clearSort();
        QCOMPARE(headers(), QString("A B C D E F"));
    }
};

QTEST_MAIN(TestArchiveTab)
#include "test_archive_tab.moc"
