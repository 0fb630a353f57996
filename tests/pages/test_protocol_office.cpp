#include "ExcelSaver.h"
#include "TestEnvironment.h"
#include "TestProtocolFiller.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "XlsxTestFiles.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

const QString python = QStringLiteral("/usr/bin/python3");
const QString checker = QStringLiteral(ZFN_TEST_DATA "/check_protocol.py");

// One protocol made for the office readers: its template, groups, verdict and expected pages.
struct Protocol
{
    QString name;
    QString templatePath;
    int groups;
    bool conform;
    QStringList sheetPairs;
    int pages;
};

const QList<Protocol> protocols{
    {"conform", ZFN_TEMPLATES "/Протокол поверки.xlsx", 5, true,
     {"&DEV_SH_1= Прибор 1", "&DEV_VCR_1=Свидетельство Прибор 1"}, 4},
    {"rejected", ZFN_TEMPLATES "/Протокол поверки.xlsx", 1, false,
     {"&DEV_SH_1= Прибор 1", "&DEV_VER_1=Извещение Прибор 1"}, 4},
    {"variant", ZFN_TEST_DATA "/template_variant.xlsx", 40, true,
     {"&DEV_SH_1= Прибор 1", "&DEV_VCR_1=Свидетельство Прибор 1", "&DEV_CCR_1=Сертификат Прибор 1@7+19",
      "Примечания=Примечания"},
     7},
};

constexpr int listRow = 15;

}  // namespace

// Every protocol is opened by LibreOffice (PDF and one CSV per sheet, converted in two batches)
// and by openpyxl, readers that share no code with ours.
class TestProtocolOffice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openpyxlSeesTheTemplateLayout();
    void libreOfficePrintsEveryPage();
    void libreOfficeReadsTheValues();

private:
    QStringList convert(const QString& filter, const QString& folder);

    QTemporaryDir m_dir;
    QStringList m_outputs;
};

void TestProtocolOffice::initTestCase()
{
    for (const QString& tool : {QStringLiteral("soffice"), QStringLiteral("pdfinfo")})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("LibreOffice or poppler-utils is not installed");
    TestEnvironment::prepare();
    initChoiceLists();
    VerificationSettings settings;
    ExcelSaver saver;
    saver.setVerificationSettings(&settings);
    QVERIFY(QDir().mkpath(VerificationSettings::templatesFolder()));
    for (const Protocol& protocol : protocols) {
        const QString templateName = QStringLiteral("office-%1.xlsx").arg(protocol.name);
        QFile::remove(VerificationSettings::templatesFolder() + templateName);
        QVERIFY(QFile::copy(protocol.templatePath, VerificationSettings::templatesFolder() + templateName));
        settings.txtProtocolName = templateName;
        auto* filler = new TestProtocolFiller(protocol.groups, protocol.conform);
        filler->setScalar(QStringLiteral("&D_NAME"), QStringLiteral("Датчик давления"));
        filler->setScalar(QStringLiteral("&CD_DATE"), QStringLiteral("2024.05.17"));
        saver.setFiller(std::unique_ptr<ProtocolFiller>(filler));
        m_outputs << m_dir.filePath(protocol.name + QStringLiteral(".xlsx"));
        QVERIFY2(saver.save(m_outputs.last()), qPrintable(saver.errorString()));
    }
}

void TestProtocolOffice::openpyxlSeesTheTemplateLayout()
{
    for (int i = 0; i < protocols.size(); ++i) {
        int exitCode = 0;
        const QStringList arguments{checker, protocols[i].templatePath, m_outputs[i], QString::number(listRow),
                                    QString::number(protocols[i].groups - 1)};
        const QString report =
            XlsxTestFiles::runReader(python, arguments + protocols[i].sheetPairs, &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(protocols[i].name + QStringLiteral(":\n") + report));
    }
}

QStringList TestProtocolOffice::convert(const QString& filter, const QString& folder)
{
    XlsxTestFiles::convertWithLibreOffice(filter, m_dir.path(), folder, m_outputs);
    return QDir(m_dir.filePath(folder)).entryList(QDir::Files, QDir::Name);
}

void TestProtocolOffice::libreOfficePrintsEveryPage()
{
    QCOMPARE(convert(QStringLiteral("pdf"), QStringLiteral("pdf")).size(), protocols.size());
    for (const Protocol& protocol : protocols) {
        const QString info =
            XlsxTestFiles::runReader(QStringLiteral("pdfinfo"), {m_dir.filePath("pdf/" + protocol.name + ".pdf")});
        const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY2(pages.hasMatch(), qPrintable(info));
        QCOMPARE(pages.captured(1).toInt(), protocol.pages);
    }
}

void TestProtocolOffice::libreOfficeReadsTheValues()
{
    const QStringList files = convert(QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"),
                                      QStringLiteral("csv"));
    for (const Protocol& protocol : protocols) {
        for (const QString& pair : protocol.sheetPairs) {
            const QString sheet = pair.section(QLatin1Char('='), 1).section(QLatin1Char('@'), 0, 0);
            QVERIFY2(files.contains(protocol.name + QLatin1Char('-') + sheet + QStringLiteral(".csv")), qPrintable(files.join(", ")));
        }
        const QString csv = QString::fromUtf8(XlsxTestFiles::fileBytes(m_dir.filePath("csv/" + protocol.name + "- Прибор 1.csv")));
        const QStringList lines = csv.split(QLatin1Char('\n'));
        QVERIFY(lines.size() > listRow + protocol.groups);
        for (int group = 0; group < protocol.groups; ++group)
            QVERIFY2(lines[listRow - 1 + group].startsWith(QStringLiteral("INX %1,VAL %1,REFF %1,").arg(group)),
                     qPrintable(lines[listRow - 1 + group]));
        QVERIFY(lines[3].contains(QStringLiteral("Средство измерений: Датчик давления, заводской № &D_SERIAL")));
        QVERIFY(lines[listRow + protocol.groups + 5].startsWith(QStringLiteral("Дата поверки: 2024.05.17")));
    }
}

QTEST_GUILESS_MAIN(TestProtocolOffice)
#include "test_protocol_office.moc"
