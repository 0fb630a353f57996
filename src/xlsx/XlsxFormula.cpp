#include "XlsxFormula.h"

#include "XlsxRef.h"

namespace {

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.');
}

bool isReferenceCharacter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('$') || c == QLatin1Char(':');
}

// Skips a run delimited by quote, where a doubled quote stands for one; returns the end position.
int skipQuoted(const QString& text, int start, QChar quote)
{
    int i = start + 1;
    while (i < text.size()) {
        if (text.at(i) == quote) {
            if (i + 1 < text.size() && text.at(i + 1) == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return i;
}

QString unquoted(const QString& quotedName)
{
    return quotedName.mid(1, quotedName.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
}

}  // namespace

QString XlsxFormula::quotedSheetName(const QString& name)
{
    return QLatin1Char('\'') + QString(name).replace(QLatin1String("'"), QLatin1String("''")) + QLatin1Char('\'');
}

QString XlsxFormula::rewrite(const QString& formula, const Edit& edit)
{
    QString result;
    int i = 0;
    while (i < formula.size()) {
        const QChar c = formula.at(i);
        int end = i + 1;
        QString sheet;
        if (c == QLatin1Char('"')) {
            end = skipQuoted(formula, i, c);
        } else if (c == QLatin1Char('\'')) {
            end = skipQuoted(formula, i, c);
            sheet = unquoted(formula.mid(i, end - i));
        } else if (isNameCharacter(c) && (i == 0 || !isNameCharacter(formula.at(i - 1)))) {
            while (end < formula.size() && isNameCharacter(formula.at(end)))
                ++end;
            sheet = formula.mid(i, end - i);
        }
        if (sheet.isNull() || end >= formula.size() || formula.at(end) != QLatin1Char('!')) {
            result += formula.midRef(i, end - i);
            i = end;
            continue;
        }
        int referenceEnd = end + 1;
        while (referenceEnd < formula.size() && isReferenceCharacter(formula.at(referenceEnd)))
            ++referenceEnd;
        const QString originalSheet = sheet;
        QString reference = formula.mid(end + 1, referenceEnd - end - 1);
        edit(sheet, reference);
        result += sheet == originalSheet ? formula.midRef(i, end - i) : QStringRef(&sheet);
        result += QLatin1Char('!') + reference;
        i = referenceEnd;
    }
    return result;
}

QString XlsxFormula::renameSheet(const QString& formula, const QString& oldName, const QString& newName)
{
    return rewrite(formula, [&](QString& sheet, QString&) {
        if (sheet.compare(oldName, Qt::CaseInsensitive) == 0)
            sheet = quotedSheetName(newName);
    });
}

QString XlsxFormula::shiftRows(const QString& formula, const QString& sheetName, int row, int count, bool extend)
{
    return rewrite(formula, [&](QString& sheet, QString& reference) {
        if (sheet.compare(sheetName, Qt::CaseInsensitive) == 0)
            reference = XlsxRef::shiftRange(reference, row, count, extend);
    });
}
