#include "ChildLookup.h"
#include "ConfiguratorModule.h"
#include "DeviceTestBench.h"
#include "InteractionHooks.h"
#include "QuestionTexts.h"
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
const QString proposedName = QStringLiteral("Протокол от 17 05 2024 - 09 05 03.xlsx");
constexpr int listRow = 15;

}  // namespace

// The real results page offscreen, its boxes, dialog, clock and desktop replaced by recorders.
class TestResultsTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        loadQtRussianAsAtStartUp();
        initChoiceLists();
        QVERIFY(m_out.isValid());
        QVERIFY(XlsxTestFiles::installTemplate(XlsxTestFiles::shippedTemplate(), templateName));
        InteractionHooks::setClock([] { return QDateTime(QDate(2024, 5, 17), QTime(9, 5, 3)); });
        InteractionHooks::setMessageBoxRunner([this](QMessageBox& box) {
            m_questions << box.text();
            m_buttons << buttonTexts(box);
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
            return m_savePaths.isEmpty() ? m_savePath : m_savePaths.takeFirst();
        });
        ConfiguratorModule::setUrlOpener([this](const QUrl& url) {
            m_opened << url;
            return m_openWorks;
        });
    }

    void init()
    {
        m_tab.reset();
        m_bench.reset();
        m_bench = std::make_unique<DeviceTestBench>(0);
        m_results = m_bench->device().resultsModel();
        m_settings = m_bench->device().verificationSettings();
        m_settings->txtProtocolName = templateName;
        m_tab = std::make_unique<TabResults>();
        m_questions.clear();
        m_buttons.clear();
        m_savePaths.clear();
        m_opened.clear();
        m_openWorks = true;
    }

    // The date is taken at the click, also when the dialog is cancelled; a click while the dialog is open
    // opens no second one. The first proposal is dated in the Excel folder, later ones in the folder last
    // written to; a failed export shows the engine's text, and a desktop that cannot open the protocol
    // is asked for its folder.
    void exportProposesWritesAndOpens()
    {
        button("pushButtonToExcel")->click();
        QCOMPARE(popUps(), QStringList{"Список результатов пуст."});
        QVERIFY(m_proposed.isEmpty());

        WorkedExample::fill(*m_bench->device().currentChannel(), *m_settings, *m_results);
        m_whileDialogOpen = [this] { button("pushButtonToExcel")->click(); };
        button("pushButtonToExcel")->click();
        QCOMPARE(m_proposed, QStringList{ConfiguratorModule::settingsFolder() + "Excel/" + proposedName});
        QCOMPARE(m_settings->protocolDate, QStringLiteral("2024.05.17"));
        QVERIFY(m_opened.isEmpty());
        m_whileDialogOpen = nullptr;
        m_savePath = m_out.filePath(QStringLiteral("a.xlsx"));
        button("pushButtonToExcel")->click();
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromUserInput(m_savePath)});
        QVERIFY(QFileInfo(ConfiguratorModule::settingsFolder() + "Excel").isDir());
        XlsxWorkbook protocol;
        QVERIFY(protocol.openFile(m_savePath));
        QCOMPARE(protocol.worksheet(0)->cellText(listRow + 4, 4), QStringLiteral("0.1"));
        QCOMPARE(protocol.worksheet(0)->cellText(22, 1), QString("Результаты поверки положительны. Прибор годен"));

        m_settings->txtProtocolName = QStringLiteral("нет такого.xlsx");
        m_savePath = m_out.filePath(QStringLiteral("failed.xlsx"));
        m_opened.clear();
        m_openWorks = false;
        button("pushButtonToExcel")->click();
        QTRY_COMPARE(popUps(), QStringList({"Список результатов пуст.", "Ошибка при поиске файла шаблона!"}));
        QVERIFY(m_opened.isEmpty());
        QVERIFY(!QFile::exists(m_savePath));
        m_settings->txtProtocolName = templateName;
        button("pushButtonToExcel")->click();
        QCOMPARE(m_proposed.last(), m_out.path() + "/" + proposedName);
        QCOMPARE(m_opened, (QList<QUrl>{QUrl::fromUserInput(m_savePath), QUrl::fromUserInput(m_out.path())}));
        QCOMPARE(popUps().size(), 2);
    }

    void protocolNameEndsInXlsx_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("bare name gets the suffix") << "prot10" << "prot10.xlsx";
        QTest::newRow("own suffix kept") << "prot.xlsx" << "prot.xlsx";
        QTest::newRow("suffix in capitals kept") << "prot.XLSX" << "prot.XLSX";
        QTest::newRow("another dot is part of the name") << "prot.v2" << "prot.v2.xlsx";
    }

    // The dialog's filter shows only ".xlsx" files, so the protocol is written, and opened, under a
    // name that ends in it.
    void protocolNameEndsInXlsx()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        WorkedExample::fill(*m_bench->device().currentChannel(), *m_settings, *m_results);
        QTemporaryDir folder;
        m_savePath = folder.filePath(typed);
        button("pushButtonToExcel")->click();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{written});
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromUserInput(folder.filePath(written))});
        XlsxWorkbook protocol;
        QVERIFY(protocol.openFile(folder.filePath(written)));
    }

    // The dialog asked about "prot10" only: an existing "prot10.xlsx" is asked about as the dialog asks,
    // with "Нет" for Return, and "Нет" shows the dialog again on the name as typed. "Да" replaces the file,
    // and a name typed with its suffix is not asked about twice.
    void protocolUnderTheSuffixIsReplacedWhenAsked()
    {
        WorkedExample::fill(*m_bench->device().currentChannel(), *m_settings, *m_results);
        QTemporaryDir folder;
        const QString existing = folder.filePath(QStringLiteral("prot10.xlsx"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("earlier protocol") > 0);
        file.close();
        const QString typed = folder.filePath(QStringLiteral("prot10"));
        m_proposed.clear();
        m_savePaths = QStringList{typed, QString()};
        m_answer = QStringLiteral("&Нет");
        m_inspect = [](QMessageBox& box) {
            QCOMPARE(box.windowTitle(), QStringLiteral("Сохранение результатов"));
            QCOMPARE(box.icon(), QMessageBox::Warning);
        };
        button("pushButtonToExcel")->click();
        QCOMPARE(m_questions, QStringList{"prot10.xlsx уже существует.\nЗаменить его?"});
        QCOMPARE(m_buttons, QStringList{"&Да | [&Нет]"});
        QCOMPARE(m_proposed.mid(1), QStringList{typed});
        QCOMPARE(XlsxTestFiles::fileBytes(existing), QByteArray("earlier protocol"));
        QVERIFY(m_opened.isEmpty());

        m_inspect = nullptr;
        m_answer = QStringLiteral("&Да");
        m_savePaths = QStringList{typed};
        button("pushButtonToExcel")->click();
        XlsxWorkbook protocol;
        QVERIFY(protocol.openFile(existing));
        m_savePath = existing;
        button("pushButtonToExcel")->click();
        QCOMPARE(m_questions.size(), 2);
        QCOMPARE(m_proposed.size(), 4);
        QCOMPARE(m_opened, (QList<QUrl>{QUrl::fromUserInput(existing), QUrl::fromUserInput(existing)}));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"prot10.xlsx"});
    }

    // Every edit needs a selection; removing and clearing ask first, and the group dialog takes 1 to 100.
    void rowsAreEditedAfterAsking()
    {
        ChannelRecord& channel = *m_bench->device().currentChannel();
        WorkedExample::setChannel(channel);
        for (double measured : {1.0, 2.0, 4.0, 3.0, 5.0, 6.0, 7.0})
            m_results->append(WorkedExample::point(channel, 1, 0, measured));
        for (const char* name : {"pushButtonDeleteButton", "pushButtonGroup", "pushButtonComputeUndef"})
            button(name)->click();
        QCOMPARE(popUps(), QStringList({"Элементы не выбраны!", "Элементы не выбраны!", "Элементы не выбраны!"}));
        QVERIFY(m_questions.isEmpty());

        select({0, 1, 3});
        button("pushButtonComputeUndef")->click();
        for (int row = 0; row < 4; ++row)
            QCOMPARE(m_results->data(m_results->index(row, 7)).toString() == QStringLiteral("-"), row == 2);
        select({0, 2});
        m_inspect = [](QMessageBox& box) {
            auto* group = box.findChild<QSpinBox*>();
            QCOMPARE(group->value(), 1);
            group->setValue(150);
        };
        m_answer = QStringLiteral("Отмена");
        button("pushButtonGroup")->click();
        QCOMPARE(column(8), QList<int>({1, 1, 1, 1, 1, 1, 1}));
        m_answer = QStringLiteral("Выбрать");
        button("pushButtonGroup")->click();
        QCOMPARE(column(8), QList<int>({100, 1, 100, 1, 1, 1, 1}));
        m_inspect = [](QMessageBox& box) { QCOMPARE(box.icon(), QMessageBox::Information); };
        select({5, 2});
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
        QCOMPARE(popUps().size(), 3);
        QCOMPARE(m_questions, QStringList({"Введите номер новой группы", "Введите номер новой группы",
                                           "Удалить выбранные точки?", "Удалить выбранные точки?",
                                           "Очистить список точек?", "Очистить список точек?"}));
        QCOMPARE(m_buttons, QStringList({"Выбрать | Отмена", "Выбрать | Отмена", "Удалить | Отмена",
                                         "Удалить | Отмена", "Очистить | Отмена", "Очистить | Отмена"}));
    }

private:
    QPushButton* button(const char* name) { return requireChild<QPushButton>(m_tab.get(), name); }
    QStringList popUps() const { return m_bench->popUps(); }
    void select(const QList<int>& rows)
    {
        auto* view = requireChild<QTableView>(m_tab.get(), "tableView");
        view->clearSelection();
        for (int row : rows)
            view->selectionModel()->select(m_results->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QList<int> column(int column)
    {
        QList<int> values;
        for (int row = 0; row < m_results->rowCount(); ++row)
            values << m_results->data(m_results->index(row, column)).toInt();
        return values;
    }

    std::unique_ptr<DeviceTestBench> m_bench;
    std::unique_ptr<TabResults> m_tab;
    ResultsModel* m_results = nullptr;
    VerificationSettings* m_settings = nullptr;
    QTemporaryDir m_out;

    QString m_answer;
    std::function<void(QMessageBox&)> m_inspect;
    QStringList m_questions;
    QStringList m_buttons;
    QString m_savePath;
    // Taken one a dialog before m_savePath.
    QStringList m_savePaths;
    std::function<void()> m_whileDialogOpen;
    QStringList m_proposed;
    QList<QUrl> m_opened;
    bool m_openWorks = true;
};

QTEST_MAIN(TestResultsTab)
#include "test_results_tab.moc"
