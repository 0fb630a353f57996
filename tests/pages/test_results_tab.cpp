#include "ChildLookup.h"
#include "ConfiguratorModule.h"
#include "DeviceTestBench.h"
#include "InteractionHooks.h"
#include "ParametrEnum.h"
#include "ResultsModel.h"
#include "TabResults.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "WorkedExample.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>
#include <functional>

namespace {

const QString templateName = QStringLiteral("results-tab.xlsx");
const QDateTime fixedTime(QDate(2024, 5, 17), QTime(9, 5, 3));
constexpr int listRow = 15;

}  // namespace

// The real results page offscreen, its boxes, dialog, clock and desktop replaced by recorders.
class TestResultsTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void exportProposesWritesAndOpens();
    void failedExportShowsTheEngineTextAndOpensNothing();
    void cancelledDialogKeepsTheDateAndTwoClicksOpenOneDialog();
    void rowsAreDeletedOrClearedAfterAsking();
    void groupDialogTakesOneToHundred();
    void uncertaintyOfTheSelection();

private:
    QPushButton* button(const char* name) { return requireChild<QPushButton>(m_tab.get(), name); }
    void select(const QList<int>& rows);
    QList<int> column(int column);
    // Exports to the file and opens what it wrote; null when nothing was written.
    XlsxWorksheet* exportTo(const QString& fileName);

    std::unique_ptr<DeviceTestBench> m_bench;
    std::unique_ptr<TabResults> m_tab;
    ResultsModel* m_results = nullptr;
    VerificationSettings* m_settings = nullptr;
    QTemporaryDir m_out;
    std::unique_ptr<XlsxWorkbook> m_protocol;

    QString m_answer;
    std::function<void(QMessageBox&)> m_inspect;
    QStringList m_questions;
    QString m_savePath;
    std::function<void()> m_whileDialogOpen;
    QStringList m_proposed;
    QList<QUrl> m_opened;
    bool m_openWorks = true;
};

void TestResultsTab::initTestCase()
{
    TestEnvironment::prepare();
    initChoiceLists();
    QVERIFY(m_out.isValid());
    QVERIFY(XlsxTestFiles::installTemplate(XlsxTestFiles::shippedTemplate(), templateName));
}

void TestResultsTab::init()
{
    m_bench = std::make_unique<DeviceTestBench>(0);
    m_results = m_bench->device().resultsModel();
    m_settings = m_bench->device().verificationSettings();
    m_settings->txtProtocolName = templateName;
    m_tab = std::make_unique<TabResults>();
    m_questions.clear();
    m_proposed.clear();
    m_opened.clear();
    m_answer.clear();
    m_savePath.clear();
    m_inspect = nullptr;
    m_whileDialogOpen = nullptr;
    m_openWorks = true;
    InteractionHooks::setMessageBoxRunner([this](QMessageBox& box) {
        m_questions << box.text();
        if (m_inspect)
            m_inspect(box);
        for (QAbstractButton* choice : box.buttons())
            if (choice->text() == m_answer)
                choice->click();
    });
    FileChooser::setSink([this](const FileChooser::Request& request) {
        m_proposed << request.path;
        if (m_whileDialogOpen)
            m_whileDialogOpen();
        return m_savePath;
    });
    InteractionHooks::setClock([] { return fixedTime; });
    ConfiguratorModule::setUrlOpener([this](const QUrl& url) {
        m_opened << url;
        return m_openWorks;
    });
}

void TestResultsTab::cleanup()
{
    InteractionHooks::setMessageBoxRunner(nullptr);
    FileChooser::setSink(nullptr);
    InteractionHooks::setClock(nullptr);
    ConfiguratorModule::setUrlOpener(nullptr);
    m_protocol.reset();
    m_tab.reset();
    m_bench.reset();
}

void TestResultsTab::select(const QList<int>& rows)
{
    auto* view = requireChild<QTableView>(m_tab.get(), "tableView");
    for (int row : rows)
        view->selectionModel()->select(m_results->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QList<int> TestResultsTab::column(int column)
{
    QList<int> values;
    for (int row = 0; row < m_results->rowCount(); ++row)
        values << m_results->data(m_results->index(row, column)).toInt();
    return values;
}

XlsxWorksheet* TestResultsTab::exportTo(const QString& fileName)
{
    m_savePath = m_out.filePath(fileName);
    m_opened.clear();
    const int popUps = m_bench->popUps().size();
    button("pushButtonToExcel")->click();
    QCoreApplication::processEvents();
    if (m_opened != QList<QUrl>{QUrl::fromUserInput(m_savePath)} || m_bench->popUps().size() != popUps)
        return nullptr;
    m_protocol = std::make_unique<XlsxWorkbook>();
    if (!m_protocol->openFile(m_savePath))
        return nullptr;
    return m_protocol->worksheet(0);
}

// The first proposal is dated in the Excel folder, later ones in the folder last written to.
void TestResultsTab::exportProposesWritesAndOpens()
{
    button("pushButtonToExcel")->click();
    QCOMPARE(m_bench->popUps(), QStringList{"Список результатов пуст."});
    QVERIFY(m_proposed.isEmpty());

    WorkedExample::fill(*m_bench->device().currentChannel(), *m_settings, *m_results);
    XlsxWorksheet* sheet = exportTo(QStringLiteral("a.xlsx"));
    QVERIFY(sheet);
    QCOMPARE(m_proposed, QStringList{ConfiguratorModule::settingsFolder() + "Excel/Протокол от 17 05 2024 - 09 05 03.xlsx"});
    QVERIFY(QFileInfo(ConfiguratorModule::settingsFolder() + "Excel").isDir());
    QCOMPARE(m_settings->protocolDate, QStringLiteral("2024.05.17"));
    QCOMPARE(sheet->cellText(listRow + 4, 5), QStringLiteral("0.1"));
    QCOMPARE(sheet->cellText(22, 1), QStringLiteral("Результаты поверки положительны. Прибор годен"));

    QVERIFY(exportTo(QStringLiteral("b.xlsx")));
    QCOMPARE(m_proposed.last(), m_out.path() + "/Протокол от 17 05 2024 - 09 05 03.xlsx");
}

void TestResultsTab::failedExportShowsTheEngineTextAndOpensNothing()
{
    WorkedExample::fill(*m_bench->device().currentChannel(), *m_settings, *m_results);
    m_settings->txtProtocolName = QStringLiteral("нет такого.xlsx");
    m_savePath = m_out.filePath(QStringLiteral("failed.xlsx"));
    m_openWorks = false;
    button("pushButtonToExcel")->click();
    QTRY_COMPARE(m_bench->popUps(), QStringList{"Ошибка при поиске файла шаблона!"});
    QVERIFY(m_opened.isEmpty());
    QVERIFY(!QFile::exists(m_savePath));

    m_settings->txtProtocolName = templateName;
    button("pushButtonToExcel")->click();
    QCOMPARE(m_proposed.size(), 2);
    // A desktop that cannot open the file is asked for its folder.
    QCOMPARE(m_opened, (QList<QUrl>{QUrl::fromUserInput(m_savePath), QUrl::fromUserInput(m_out.path())}));
}

void TestResultsTab::cancelledDialogKeepsTheDateAndTwoClicksOpenOneDialog()
{
    m_results->append(WorkedExample::point(*m_bench->device().currentChannel(), 1, 0, 0));
    m_whileDialogOpen = [this] { button("pushButtonToExcel")->click(); };
    button("pushButtonToExcel")->click();
    QCOMPARE(m_proposed.size(), 1);
    QCOMPARE(m_settings->protocolDate, QStringLiteral("2024.05.17"));
    QVERIFY(m_opened.isEmpty());
    m_whileDialogOpen = nullptr;
    button("pushButtonToExcel")->click();
    QCOMPARE(m_proposed.size(), 2);
    QVERIFY(m_bench->popUps().isEmpty());
}

void TestResultsTab::rowsAreDeletedOrClearedAfterAsking()
{
    for (int i = 0; i < 7; ++i)
        m_results->append(ResultRecord());
    for (const char* name : {"pushButtonDeleteButton", "pushButtonGroup", "pushButtonComputeUndef"})
        button(name)->click();
    QCOMPARE(m_bench->popUps(), QStringList({"Элементы не выбраны!", "Элементы не выбраны!", "Элементы не выбраны!"}));
    QVERIFY(m_questions.isEmpty());

    select({5, 2});
    m_inspect = [](QMessageBox& box) { QCOMPARE(box.icon(), QMessageBox::Information); };
    m_answer = QStringLiteral("Отмена");
    button("pushButtonDeleteButton")->click();
    QCOMPARE(m_results->rowCount(), 7);
    m_answer = QStringLiteral("Удалить");
    button("pushButtonDeleteButton")->click();
    QCOMPARE(column(0), QList<int>({1, 2, 4, 5, 7}));

    m_answer = QStringLiteral("Отмена");
    button("pushButtonClearAll")->click();
    QCOMPARE(m_results->rowCount(), 5);
    m_answer = QStringLiteral("Очистить");
    button("pushButtonClearAll")->click();
    QVERIFY(m_results->isEmpty());
    QCOMPARE(m_questions, QStringList({"Удалить выбранные точки?", "Удалить выбранные точки?",
                                       "Очистить список точек?", "Очистить список точек?"}));
}

void TestResultsTab::groupDialogTakesOneToHundred()
{
    for (int i = 0; i < 3; ++i)
        m_results->append(WorkedExample::point(*m_bench->device().currentChannel(), 1, 0, i));
    select({0, 2});
    m_inspect = [](QMessageBox& box) {
        auto* group = box.findChild<QSpinBox*>();
        QVERIFY(group);
        QCOMPARE(group->minimum(), 1);
        QCOMPARE(group->maximum(), 100);
        QCOMPARE(group->value(), 1);
        group->setValue(150);
    };
    m_answer = QStringLiteral("Отмена");
    button("pushButtonGroup")->click();
    QCOMPARE(column(8), QList<int>({1, 1, 1}));
    m_answer = QStringLiteral("Выбрать");
    button("pushButtonGroup")->click();
    QCOMPARE(column(8), QList<int>({100, 1, 100}));
    QCOMPARE(m_questions, QStringList({"Введите номер новой группы", "Введите номер новой группы"}));
}

void TestResultsTab::uncertaintyOfTheSelection()
{
    ChannelRecord& channel = *m_bench->device().currentChannel();
    WorkedExample::setChannel(channel);
    for (double measured : {1.0, 2.0, 4.0, 3.0})
        m_results->append(WorkedExample::point(channel, 1, 0, measured));
    select({0, 1, 3});
    button("pushButtonComputeUndef")->click();
    QVERIFY(m_bench->popUps().isEmpty());
    for (int row = 0; row < 4; ++row)
        QCOMPARE(m_results->data(m_results->index(row, 7)).toString() == QStringLiteral("-"), row == 2);
}

QTEST_MAIN(TestResultsTab)
#include "test_results_tab.moc"
