#include "XlsxText.h"

namespace {

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// True when text holds "_xHHHH_" at position.
bool isEscapeAt(const QString& text, int position)
{
    if (position + 7 > text.size() || text.at(position) != QLatin1Char('_') || text.at(position + 1) != QLatin1Char('x') ||
        text.at(position + 6) != QLatin1Char('_'))
        return false;
    for (int i = 2; i < 6; ++i)
        if (!isHexDigit(text.at(position + i)))
            return false;
    return true;
}

bool isXmlCharacter(ushort code)
{
    return code >= 0x20 ? code < 0xFFFE : (code == 0x09 || code == 0x0A || code == 0x0D);
}

// Valid characters only, surrogates in pairs, at most the cell limit of UTF-16 units.
QString cleaned(const QString& text)
{
    QString result;
    result.reserve(qMin(text.size(), XlsxText::maxCellLength));
    for (int i = 0; i < text.size() && result.size() < XlsxText::maxCellLength; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text.at(i + 1).isLowSurrogate() && result.size() + 2 <= XlsxText::maxCellLength) {
                result += c;
                result += text.at(++i);
            }
        } else if (!c.isLowSurrogate() && isXmlCharacter(c.unicode())) {
            result += c;
        }
    }
    return result;
}

}  // namespace

QString XlsxText::decode(const QString& stored)
{
    if (!stored.contains(QLatin1String("_x")))
        return stored;
    QString result;
    result.reserve(stored.size());
    for (int i = 0; i < stored.size(); ++i) {
        if (isEscapeAt(stored, i)) {
            result += QChar(stored.midRef(i + 2, 4).toUShort(nullptr, 16));
            i += 6;
        } else {
            result += stored.at(i);
        }
    }
    return result;
}

QString XlsxText::encode(const QString& text)
{
    const QString clean = cleaned(text);
    QString result;
    result.reserve(clean.size());
    for (int i = 0; i < clean.size(); ++i) {
        if (isEscapeAt(clean, i))
            result += QLatin1String("_x005F");
        if (clean.at(i) == QLatin1Char('\r'))
            result += QLatin1String("_x000D_");
        else
            result += clean.at(i);
    }
    return result;
}
