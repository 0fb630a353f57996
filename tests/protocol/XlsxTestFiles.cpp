#include "XlsxTestFiles.h"

#include "VerificationSettings.h"
#include "XlsxPackage.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QDir>
#include <QFile>
#include <QProcess>

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

bool XlsxTestFiles::makeCellTemplate(const QString& fileName, const Cells& cells)
{
    XlsxWorkbook workbook;
    if (!workbook.openFile(shippedTemplate()))
        return false;
    while (workbook.sheetCount() > 1)
        workbook.deleteSheet(1);
    XlsxWorksheet* sheet = workbook.worksheet(0);
    for (int row = sheet->nextRow(0); row; row = sheet->nextRow(row))
        for (int column = sheet->nextColumn(row, 0); column; column = sheet->nextColumn(row, column))
            sheet->writeString(row, column, QString());
    for (auto cell = cells.begin(); cell != cells.end(); ++cell)
        sheet->writeString(cell.key().first, cell.key().second, cell.value());
    return QDir().mkpath(VerificationSettings::templatesFolder())
           && workbook.save(VerificationSettings::templatesFolder() + fileName);
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
    process.waitForFinished(300000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}
