#pragma once

#include <QByteArray>
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
    // A one-sheet template "&DEV_SH_1" in the program's templates folder: the shipped protocol sheet
    // with every text emptied (styles, merges and heights stay) and the given cells written.
    static bool makeCellTemplate(const QString& fileName, const Cells& cells);

    static QByteArray fileBytes(const QString& path);
    // One part of a zip, as stored; empty when the zip or the part is missing.
    static QString partText(const QByteArray& zip, const QString& part);
    // Runs an outside reader (LibreOffice, python) to its end; its output and error text merged.
    static QString runReader(const QString& program, const QStringList& arguments, int* exitCode = nullptr);
    // One part of the workbook as it would be saved now.
    static QString savedPart(XlsxWorkbook& workbook, const QString& part);
};
