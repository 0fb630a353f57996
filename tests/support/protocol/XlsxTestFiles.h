#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

class XlsxWorkbook;

// The committed workbooks the XLSX and protocol tests start from, and ways to look into results.
class XlsxTestFiles
{
public:
    static QString shippedTemplate();
    static QString variantTemplate();
    static QString handmade();

    // Cells by (row, column).
    using Cells = QMap<QPair<int, int>, QString>;
    // A template in the program's templates folder made from source: its sheets renamed to names
    // (those beyond them deleted), opening on activeSheet; with cells, every text of the first sheet
    // is emptied (styles, merges and heights stay) and the cells written.
    static bool makeTemplate(const QString& fileName, const QStringList& names, const Cells& cells = {},
                             const QString& source = shippedTemplate(), int activeSheet = 0);
    // A copy of the workbook in the program's templates folder, in place of any of that name.
    static bool installTemplate(const QString& source, const QString& fileName);

    static QByteArray fileBytes(const QString& path);
    // One part of a zip, as stored; empty when the zip or the part is missing.
    static QString partText(const QByteArray& zip, const QString& part);
    // Runs an outside reader (LibreOffice, python) to its end; its output and error text merged.
    static QString runReader(const QString& program, const QStringList& arguments, int* exitCode = nullptr);
    // LibreOffice converts the files with the filter into work/folder, in one batch, with a profile of its own.
    static void convertWithLibreOffice(const QString& filter, const QString& work, const QString& folder,
                                       const QStringList& files);
    // Rows of a comma-separated file whose quoted fields may hold commas, quotes and line feeds.
    static QList<QStringList> csvRows(const QString& path);
    // One part of the workbook as it would be saved now.
    static QString savedPart(XlsxWorkbook& workbook, const QString& part);
};
