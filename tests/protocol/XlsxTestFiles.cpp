#include "XlsxTestFiles.h"

#include "XlsxPackage.h"
#include "XlsxWorkbook.h"

#include <QFile>

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
