#include "XlsxRef.h"

#include <QStringList>
#include <algorithm>

namespace {

// One side of a range: "$B$12", "B", "12". Row 0 means the side names no row.
struct Endpoint
{
    QString columnPart;
    QString rowDollar;
    int row = 0;

    bool parse(const QString& text)
    {
        int i = 0;
        if (i < text.size() && text.at(i) == QLatin1Char('$'))
            ++i;
        while (i < text.size() && text.at(i).isUpper() && text.at(i).unicode() < 128)
            ++i;
        columnPart = text.left(i);
        if (columnPart == QLatin1String("$"))
            columnPart.clear(), i = 0;
        if (i < text.size() && text.at(i) == QLatin1Char('$')) {
            rowDollar = QStringLiteral("$");
            ++i;
        }
        const QString digits = text.mid(i);
        if (digits.isEmpty())
            return !columnPart.isEmpty() && rowDollar.isEmpty();
        bool ok = false;
        row = digits.toInt(&ok);
        return ok && digits.at(0).isDigit() && row >= 1 && row <= XlsxRef::maxRow && digits.size() <= 7;
    }

    QString text() const { return row > 0 ? columnPart + rowDollar + QString::number(row) : columnPart; }
};

int shifted(int value, int count)
{
    return qMin(value + count, XlsxRef::maxRow);
}

}  // namespace

bool XlsxRef::parseCell(const QString& text, int& row, int& column)
{
    int i = 0;
    column = 0;
    while (i < text.size() && i < 3 && text.at(i) >= QLatin1Char('A') && text.at(i) <= QLatin1Char('Z'))
        column = column * 26 + (text.at(i++).unicode() - 'A' + 1);
    if (i == 0 || column > maxColumn || i >= text.size() || !text.at(i).isDigit() || text.at(i) == QLatin1Char('0'))
        return false;
    bool ok = false;
    const QString digits = text.mid(i);
    row = digits.toInt(&ok);
    return ok && digits.size() <= 7 && row <= maxRow && digits.at(0).unicode() < 128 &&
           std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

QString XlsxRef::columnName(int column)
{
    QString name;
    for (; column > 0; column = (column - 1) / 26)
        name.prepend(QChar('A' + (column - 1) % 26));
    return name;
}

QString XlsxRef::cellName(int row, int column)
{
    return columnName(column) + QString::number(row);
}

bool XlsxRef::rowSpan(const QString& range, int& first, int& last)
{
    const QStringList sides = range.split(QLatin1Char(':'));
    Endpoint a, b;
    if (sides.size() > 2 || !a.parse(sides.first()) || !b.parse(sides.last()) || a.row == 0 || b.row == 0)
        return false;
    first = a.row;
    last = b.row;
    return true;
}

QString XlsxRef::shiftRange(const QString& range, int row, int count, bool extend)
{
    const QStringList sides = range.split(QLatin1Char(':'));
    Endpoint a, b;
    if (sides.size() > 2 || !a.parse(sides.first()) || !b.parse(sides.last()) || a.row == 0 || b.row == 0)
        return range;
    const bool contains = a.row <= row && b.row >= row;
    if (a.row > row)
        a.row = shifted(a.row, count);
    if (b.row > row || (extend && contains))
        b.row = shifted(b.row, count);
    if (sides.size() == 1 && a.row == b.row)
        return a.text();
    return a.text() + QLatin1Char(':') + b.text();
}

QString XlsxRef::shiftRows(const QString& ranges, int row, int count, bool extend)
{
    QStringList parts = ranges.split(QLatin1Char(' '));
    for (QString& part : parts)
        part = shiftRange(part, row, count, extend);
    return parts.join(QLatin1Char(' '));
}
