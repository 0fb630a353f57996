#include "ExcelSaver.h"
#include "TestEnvironment.h"
#include "TestProtocolFiller.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "XlsxPackage.h"
#include "XlsxTestFiles.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QtTest>

namespace {

const QString shippedTemplate = XlsxTestFiles::shippedTemplate();
const QString variantTemplate = XlsxTestFiles::variantTemplate();
const QString markupError = QStringLiteral("Ошибка разметки файла шаблона!");
const QString saveError = QStringLiteral("Ошибка при сохранении протокола!");

QString templatePath(const QString& fileName)
{
    return VerificationSettings::templatesFolder() + fileName;
}

bool sheetContains(XlsxWorksheet* sheet, const QString& needle)
{
    for (int row = sheet->nextRow(0); row; row = sheet->nextRow(row))
        for (int column = sheet->nextColumn(row, 0); column; column = sheet->nextColumn(row, column))
            if (sheet->cellText(row, column).contains(needle))
                return true;
    return false;
}

}  // namespace

class TestExcelSaver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void sheetsAreKeptRenamedOrDropped_data();
    void sheetsAreKeptRenamedOrDropped();
    void onlySheetDroppedWritesNothing();
    void protocolOpensOnFirstSheet();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void passesStopAtRowAndColumn999();
    void listRowsAreVisitedByBothPasses();

private:
    bool save(TestProtocolFiller* filler, const QString& templateName, const QString& output);

    std::unique_ptr<VerificationSettings> m_settings;
    std::unique_ptr<ExcelSaver> m_saver;
    QTemporaryDir m_out;
};

void TestExcelSaver::initTestCase()
{
    TestEnvironment::prepare();
    initChoiceLists();
    QVERIFY(m_out.isValid());
}

void TestExcelSaver::init()
{
    m_settings = std::make_unique<VerificationSettings>();
    m_saver = std::make_unique<ExcelSaver>();
    m_saver->setVerificationSettings(m_settings.get());
}

bool TestExcelSaver::save(TestProtocolFiller* filler, const QString& templateName, const QString& output)
{
    filler->setScalar(QStringLiteral("&D_NAME"), QStringLiteral("Датчик"));
    filler->setScalar(QStringLiteral("&D_NOTES"), QStringLiteral("без замечаний"));
    m_saver->setFiller(std::unique_ptr<ProtocolFiller>(filler));
    m_settings->txtProtocolName = templateName;
    return m_saver->save(output);
}

void TestExcelSaver::sheetsAreKeptRenamedOrDropped_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("conform");
    QTest::addColumn<QStringList>("expected");
    const QStringList three{"&DEV_SH_1", "&DEV_VCR_1", "&DEV_VER_1"};
    QTest::newRow("all conform") << three << true << QStringList{" Прибор 1", "Свидетельство Прибор 1"};
    QTest::newRow("not all conform") << three << false << QStringList{" Прибор 1", "Извещение Прибор 1"};
    QTest::newRow("other device before device 1")
        << QStringList{"&DEV_SH_2", "&DEV_SH_1", "Notes"} << true << QStringList{" Прибор 1", "Notes"};
    QTest::newRow("01, bare marker, letter")
        << QStringList{"&DEV_SH_01", "&DEV_SH_", "&DEV_SH_a"} << false << QStringList{" Прибор 1"};
    QTest::newRow("second sheet for device 1 keeps its name")
        << QStringList{"&DEV_SH_1", "&DEV_SH_01", "x"} << true << QStringList{" Прибор 1", "&DEV_SH_01", "x"};
    QTest::newRow("variant")
        << QStringList{"&DEV_SH_1", "&DEV_VCR_1", "&DEV_VER_1", "&DEV_CCR_1", "Примечания"} << true
        << QStringList{" Прибор 1", "Свидетельство Прибор 1", "Сертификат Прибор 1", "Примечания"};
}

void TestExcelSaver::sheetsAreKeptRenamedOrDropped()
{
    QFETCH(QStringList, names);
    QFETCH(bool, conform);
    QFETCH(QStringList, expected);
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("triage.xlsx"), names, {},
                                        names.size() == 5 ? variantTemplate : shippedTemplate));
    auto* filler = new TestProtocolFiller(3, conform);
    const QString output = m_out.filePath(QStringLiteral("triage.xlsx"));
    QVERIFY2(save(filler, QStringLiteral("triage.xlsx"), output), qPrintable(m_saver->errorString()));
    QCOMPARE(filler->computeCount(), 1);

    XlsxWorkbook protocol;
    QVERIFY(protocol.openFile(output));
    QCOMPARE(protocol.sheetNames(), expected);
    for (int i = 0; i < protocol.sheetCount(); ++i) {
        QVERIFY(!sheetContains(protocol.worksheet(i), QStringLiteral("&D_NAME")));
        QVERIFY(!sheetContains(protocol.worksheet(i), QStringLiteral("&D_NOTES")));
    }
}

void TestExcelSaver::onlySheetDroppedWritesNothing()
{
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("only.xlsx"), {QStringLiteral("&DEV_VER_1")}));
    const QString output = m_out.filePath(QStringLiteral("only.xlsx"));
    QVERIFY(!save(new TestProtocolFiller(2, true), QStringLiteral("only.xlsx"), output));
    QCOMPARE(m_saver->errorString(), markupError);
    QVERIFY(!QFile::exists(output));
}

void TestExcelSaver::protocolOpensOnFirstSheet()
{
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("active.xlsx"), {"&DEV_SH_1", "&DEV_VCR_1", "&DEV_VER_1"}, {},
                                        shippedTemplate, 2));
    const QString output = m_out.filePath(QStringLiteral("active.xlsx"));
    QVERIFY(save(new TestProtocolFiller(2, false), QStringLiteral("active.xlsx"), output));
    XlsxPackage package;
    QVERIFY(package.openBytes(XlsxTestFiles::fileBytes(output)));
    QVERIFY(package.partData(QStringLiteral("xl/workbook.xml")).contains("activeTab=\"0\""));
    QVERIFY(package.partData(QStringLiteral("xl/worksheets/sheet1.xml")).contains("tabSelected=\"1\""));
    QVERIFY(!package.partData(QStringLiteral("xl/worksheets/sheet3.xml")).contains("tabSelected"));
}

void TestExcelSaver::failuresWriteNothing_data()
{
    QTest::addColumn<QString>("templateName");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("failingCell");
    QTest::addColumn<QString>("error");
    // Parts of good.xlsx replaced in damaged.xlsx; the debug line must name one of them.
    QTest::addColumn<QVariantMap>("damage");
    const auto failure = [](const char* name, const char* templateName, const char* output, bool failingCell,
                            const QString& error) {
        QTest::newRow(name) << templateName << output << failingCell << error << QVariantMap();
    };
    failure("missing template", "missing.xlsx", "a.xlsx", false, "Ошибка при поиске файла шаблона!");
    failure("template is a folder", "", "a.xlsx", false, "Ошибка при поиске файла шаблона!");
    failure("template not a zip", "broken.xlsx", "a.xlsx", false, markupError);
    failure("cell write fails", "good.xlsx", "a.xlsx", true, "Ошибка записи параметра!");
    failure("output folder missing", "good.xlsx", "no/such/a.xlsx", false, saveError);
    failure("output is the template", "good.xlsx", "", false, saveError);

    const QString sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    const QString workbookRels = QStringLiteral("xl/_rels/workbook.xml.rels");
    const QString rels = XlsxTestFiles::partText(XlsxTestFiles::fileBytes(shippedTemplate), workbookRels);
    const QString stringsRelation = QStringLiteral(
        "<Relationship Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
        "Target=\"sharedStrings.xml\" Id=\"rId9\"/></Relationships>");
    const QString withStrings = QString(rels).replace(QStringLiteral("</Relationships>"), stringsRelation);
    const QString farRow = XlsxTestFiles::partText(XlsxTestFiles::fileBytes(shippedTemplate), sheet)
                               .replace(QStringLiteral("</sheetData>"),
                                        QStringLiteral("<row r=\"1048576\"><c r=\"A1048576\"><v>1</v></c></row></sheetData>"));
    const auto damaged = [](const char* name, const QVariantMap& damage) {
        QTest::newRow(name) << "damaged.xlsx" << "a.xlsx" << false << markupError << damage;
    };
    damaged("kept sheet", {{sheet, "<worksheet><sheetData>"}});
    damaged("sheet relationships", {{"xl/worksheets/_rels/sheet1.xml.rels", "<Relationships><Relationship"}});
    damaged("drawing", {{"xl/drawings/drawing1.xml", "<wsDr><oneCellAnchor><from>"}});
    damaged("drawing of another kind", {{"xl/drawings/drawing1.xml", "<Relationships/>"}});
    damaged("content types", {{"[Content_Types].xml", "<Types><Default"}});
    damaged("workbook", {{"xl/workbook.xml", "<workbook><sheets>"}});
    damaged("workbook relationships", {{workbookRels, "<Relationships"}});
    damaged("styles", {{"xl/styles.xml", "<styleSheet><cellXfs>"}});
    damaged("shared strings", {{workbookRels, withStrings}, {"xl/sharedStrings.xml", "<sst><si>"}});
    // Dropping the sheet would drop the texts with it.
    damaged("sheet listed through the shared strings",
            {{workbookRels, QString(withStrings).replace("Id=\"rId3\"", "Id=\"rId0\"").replace("rId9", "rId3")},
             {"xl/sharedStrings.xml", "<sst count=\"0\" uniqueCount=\"0\"/>"}});
    damaged("list rows would leave the sheet", {{sheet, farRow}});
}

void TestExcelSaver::failuresWriteNothing()
{
    QFETCH(QString, templateName);
    QFETCH(QString, output);
    QFETCH(bool, failingCell);
    QFETCH(QString, error);
    QFETCH(QVariantMap, damage);
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("good.xlsx"), {"&DEV_SH_1", "&DEV_VCR_1", "&DEV_VER_1"}));
    QFile broken(templatePath(QStringLiteral("broken.xlsx")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("PK\x03\x04 broken") > 0);
    broken.close();
    const QByteArray before = XlsxTestFiles::fileBytes(templatePath(QStringLiteral("good.xlsx")));
    XlsxPackage package;
    QVERIFY(package.openBytes(before));
    for (auto it = damage.cbegin(); it != damage.cend(); ++it)
        package.setPartData(it.key(), it.value().toByteArray());
    QFile damaged(templatePath(QStringLiteral("damaged.xlsx")));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(package.toBytes()) > 0);
    damaged.close();
    QTemporaryDir out;
    const QString outputPath = output.isEmpty() ? templatePath(templateName) : out.filePath(output);

    QVERIFY(!save(new TestProtocolFiller(2, true), QStringLiteral("broken.xlsx"), outputPath));
    auto* filler = new TestProtocolFiller(2, true);
    if (failingCell)
        filler->failAt(4, 1);
    QStringList named;
    for (const QString& part : damage.keys())
        named << QRegularExpression::escape(part);
    if (!named.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("MARKUP ERROR.*(" + named.join('|') + ")"));
    QVERIFY(!save(filler, templateName, outputPath));
    QCOMPARE(m_saver->errorString(), error);
    QCOMPARE(XlsxTestFiles::fileBytes(templatePath(QStringLiteral("good.xlsx"))), before);
    if (!output.isEmpty())
        QVERIFY(!QFile::exists(outputPath));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
}

void TestExcelSaver::passesStopAtRowAndColumn999()
{
    XlsxWorkbook workbook;
    QVERIFY(workbook.openFile(shippedTemplate));
    XlsxWorksheet* sheet = workbook.worksheet(0);
    for (const auto& [row, column] : {qMakePair(999, 1), qMakePair(1000, 1), qMakePair(3, 999), qMakePair(3, 1000)})
        QVERIFY(sheet->writeString(row, column, QStringLiteral("&D_NAME")));
    QVERIFY(workbook.save(templatePath(QStringLiteral("edge.xlsx"))));
    const QString output = m_out.filePath(QStringLiteral("edge.xlsx"));
    QVERIFY(save(new TestProtocolFiller(1, true), QStringLiteral("edge.xlsx"), output));

    XlsxWorkbook protocol;
    QVERIFY(protocol.openFile(output));
    XlsxWorksheet* filled = protocol.worksheet(0);
    QCOMPARE(filled->cellText(999, 1), QStringLiteral("Датчик"));
    QCOMPARE(filled->cellText(3, 999), QStringLiteral("Датчик"));
    QCOMPARE(filled->cellText(1000, 1), QStringLiteral("&D_NAME"));
    QCOMPARE(filled->cellText(3, 1000), QStringLiteral("&D_NAME"));
}

void TestExcelSaver::listRowsAreVisitedByBothPasses()
{
    QVERIFY(XlsxTestFiles::makeTemplate(QStringLiteral("list.xlsx"), {"&DEV_SH_1"}));
    const QString output = m_out.filePath(QStringLiteral("list.xlsx"));
    QVERIFY(save(new TestProtocolFiller(3, true), QStringLiteral("list.xlsx"), output));
    XlsxWorkbook protocol;
    QVERIFY(protocol.openFile(output));
    XlsxWorksheet* sheet = protocol.worksheet(0);
    for (int group = 0; group < 3; ++group) {
        QCOMPARE(sheet->cellText(15 + group, 2), QStringLiteral("VAL %1").arg(group));
        QCOMPARE(sheet->cellText(15 + group, 9), QString());
        QCOMPARE(sheet->rowHeight(15 + group), 20.0);
    }
    QCOMPARE(sheet->cellText(4, 1), QStringLiteral("Средство измерений: Датчик, заводской № &D_SERIAL"));
    QVERIFY(sheet->cellText(19, 1).startsWith(QStringLiteral("Максимальная погрешность")));
}

QTEST_GUILESS_MAIN(TestExcelSaver)
#include "test_excel_saver.moc"
