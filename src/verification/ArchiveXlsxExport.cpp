#include "ArchiveXlsxExport.h"

#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDebug>

namespace {

constexpr int titleRow = 2;
constexpr int titleColumn = 4;
constexpr int headerRow = 4;
constexpr int firstColumn = 2;
const double columnWidths[] = {4.3, 17.5, 5.5, 9.5, 9.5, 11, 11, 11, 12, 12, 14, 12, 14};

bool isNumber(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool writeCell(XlsxWorksheet* sheet, int row, int column, const QVariant& value, int style)
{
    const bool written = isNumber(value) ? sheet->writeNumber(row, column, value.toDouble())
                                         : sheet->writeString(row, column, value.toString());
    return written && sheet->setCellStyle(row, column, style);
}

QString archiveTitle(const QDate& date, const QString& deviceName)
{
    return QCoreApplication::translate("QObject", "Архив ") + deviceName + QCoreApplication::translate("QObject", " от ")
        + date.toString(QStringLiteral("dd.MM.yyyy"));
}

bool fail(const XlsxWorkbook& book)
{
    qDebug().noquote() << "saveArchiveToXlsx::FAILED" << book.errorString();
    return false;
}

}  // namespace

bool saveArchiveToXlsx(QAbstractItemModel* model, const QDate& date, const QString& fileName,
                       const QString& deviceName)
{
    const QString title = archiveTitle(date, deviceName);
    XlsxWorkbook book;
    if (!book.createNew(XlsxWorkbook::sheetNameFrom(title)))
        return fail(book);
    const int titleStyle = book.addCellStyle({QStringLiteral("Arial Cyr"), 18, XlsxCellStyle::NoBorder});
    const int headerStyle = book.addCellStyle({QString(), 0, XlsxCellStyle::Medium});
    const int cellStyle = book.addCellStyle({QString(), 0, XlsxCellStyle::Thin});
    XlsxWorksheet* sheet = book.worksheet(0);
    if (titleStyle < 0 || headerStyle < 0 || cellStyle < 0 || !sheet || !writeCell(sheet, titleRow, titleColumn, title, titleStyle))
        return fail(book);
    const int columnCount = int(sizeof columnWidths / sizeof columnWidths[0]);
    for (int i = 0; i < columnCount; ++i)
        sheet->setColumnWidth(firstColumn + i, columnWidths[i]);

    const int rows = model->rowCount();
    const int columns = model->columnCount();
    for (int c = 0; c + 1 < columns; ++c) {
        const QVariant header = model->headerData(c, Qt::Horizontal, Qt::DisplayRole);
        bool written = writeCell(sheet, headerRow, firstColumn + c, header, headerStyle);
        for (int r = 0; r < rows && written; ++r)
            written = writeCell(sheet, headerRow + 1 + r, firstColumn + c, model->index(r, c).data(Qt::EditRole), cellStyle);
        if (!written)
            return fail(book);
    }
    return book.save(fileName) || fail(book);
}
