#include "XlsxTestFiles.h"

#include "BoundedWait.h"
#include "VerificationSettings.h"
#include "XlsxPackage.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

QString XlsxTestFiles::shippedTemplate()
{
    return QStringLiteral(ZFN_TEMPLATES "/Протокол поверки.xlsx");
}

QString XlsxTestFiles::variantTemplate()
{
    return QStringLiteral(ZFN_TEST_DATA "/template_variant.xlsx");
}

QString XlsxTestFiles::handmade()
{
    return QStringLiteral(ZFN_TEST_DATA "/handmade.xlsx");
}

bool XlsxTestFiles::makeTemplate(const QString& fileName, const QStringList& names, const Cells& cells,
                                 const QString& source, int activeSheet)
{
    XlsxWorkbook workbook;
    if (!workbook.openFile(source))
        return false;
    while (workbook.sheetCount() > names.size())
        workbook.deleteSheet(workbook.sheetCount() - 1);
    // Through names of their own, so that no new name meets an old one.
    for (int i = 0; i < names.size(); ++i)
        workbook.renameSheet(i, QStringLiteral("tmp %1").arg(i));
    for (int i = 0; i < names.size(); ++i)
        workbook.renameSheet(i, names.at(i));
    workbook.setActiveSheet(activeSheet);
    XlsxWorksheet* sheet = workbook.worksheet(0);
    for (int row = cells.isEmpty() ? 0 : sheet->nextRow(0); row; row = sheet->nextRow(row))
        for (int column = sheet->nextColumn(row, 0); column; column = sheet->nextColumn(row, column))
            sheet->writeString(row, column, QString());
    for (auto cell = cells.begin(); cell != cells.end(); ++cell)
        sheet->writeString(cell.key().first, cell.key().second, cell.value());
    return QDir().mkpath(VerificationSettings::templatesFolder())
           && workbook.save(VerificationSettings::templatesFolder() + fileName);
}

bool XlsxTestFiles::installTemplate(const QString& source, const QString& fileName)
{
    const QString path = VerificationSettings::templatesFolder() + fileName;
    QFile::remove(path);
    return QDir().mkpath(VerificationSettings::templatesFolder()) && QFile::copy(source, path);
}

QByteArray XlsxTestFiles::fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString XlsxTestFiles::partText(const QByteArray& zip, const QString& part)
{
    XlsxPackage package;
    return package.openBytes(zip) ? QString::fromUtf8(package.partData(part)) : QString();
}

QString XlsxTestFiles::savedPart(XlsxWorkbook& workbook, const QString& part)
{
    return partText(workbook.saveToBytes(), part);
}

QString XlsxTestFiles::runReader(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    // A reader that does not end in time is killed and fails, rather than report the exit code 0
    // of a process still running.
    const bool ended = process.waitForFinished(BoundedWait::programMs);
    if (!ended)
        process.kill();
    if (exitCode)
        *exitCode = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

void XlsxTestFiles::convertWithLibreOffice(const QString& filter, const QString& work, const QString& folder,
                                           const QStringList& files)
{
    const QString profile = QUrl::fromLocalFile(QDir(work).filePath(QStringLiteral("profile"))).toString();
    runReader(QStringLiteral("soffice"), QStringList{"--headless", "-env:UserInstallation=" + profile, "--convert-to",
                                                     filter, "--outdir", QDir(work).filePath(folder)}
                                             + files);
}

QList<QStringList> XlsxTestFiles::csvRows(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    QList<QStringList> rows{{QString()}};
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
            rows.last().last() += text.at(++i);
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char(','))
            rows.last() << QString();
        else if (!quoted && c == QLatin1Char('\n'))
            rows << QStringList{QString()};
        else
            rows.last().last() += c;
    }
    if (rows.last() == QStringList{QString()})
        rows.removeLast();
    return rows;
}
