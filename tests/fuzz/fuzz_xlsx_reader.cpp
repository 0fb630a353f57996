#include "XlsxPackage.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QByteArray>
#include <QFile>
#include <cstdint>

namespace {

// Small limits keep every input quick; the checks are the same at any size.
XlsxLimits fuzzLimits()
{
    XlsxLimits limits;
    limits.partBytes = 4 * 1024 * 1024;
    limits.totalBytes = 16 * 1024 * 1024;
    return limits;
}

const QByteArray& validPackage()
{
    static const QByteArray bytes = [] {
        QFile file(QStringLiteral(ZFN_TEST_DATA "/handmade.xlsx"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return bytes;
}

// The input as a whole zip (first byte even) or as one part of the valid package (odd; the second
// byte picks the part).
QByteArray packageFor(const QByteArray& input)
{
    if (input.size() < 2 || (quint8(input.at(0)) & 1) == 0)
        return input.mid(1);
    XlsxPackage package;
    if (!package.openBytes(validPackage()))
        __builtin_trap();
    const QStringList parts = package.partNames();
    package.setPartData(parts.at(quint8(input.at(1)) % parts.size()), input.mid(2));
    return package.toBytes();
}

void readEverything(XlsxWorkbook& workbook)
{
    for (int i = 0; i < workbook.sheetCount(); ++i) {
        XlsxWorksheet* sheet = workbook.worksheet(i);
        if (!sheet)
            continue;
        for (int row = sheet->nextRow(0); row; row = sheet->nextRow(row))
            for (int column = sheet->nextColumn(row, 0); column; column = sheet->nextColumn(row, column))
                workbook.styleFont(sheet->cellStyle(row, column)).family.size();
    }
}

}  // namespace

// Whatever the bytes, reading must neither crash nor overrun; a workbook that opened must take the
// engine's edits, and what it saves must open again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    XlsxWorkbook workbook;
    if (!workbook.openBytes(packageFor(input), fuzzLimits()))
        return 0;
    readEverything(workbook);
    XlsxWorksheet* first = workbook.worksheet(0);
    if (!first)
        return 0;
    first->insertRowCopies(first->nextRow(0), 3);
    first->writeString(2, 2, QStringLiteral("x _x0041_ \r\n"));
    workbook.renameSheet(0, QStringLiteral(" Прибор 1"));
    if (workbook.sheetCount() > 1)
        workbook.deleteSheet(workbook.sheetCount() - 1);
    if (!workbook.setActiveSheet(0))
        return 0;
    const QByteArray saved = workbook.saveToBytes();
    XlsxWorkbook reopened;
    if (!saved.isEmpty() && (!reopened.openBytes(saved, fuzzLimits()) || !reopened.worksheet(0)))
        __builtin_trap();
    return 0;
}
