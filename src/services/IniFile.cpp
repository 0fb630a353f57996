#include "IniFile.h"

#include <QList>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes one character of an INI value as QSettings does (escapes \xHHHH and octal \NNN among
// them) and moves past it; -1 at the end of the value.
int nextCharacter(const QByteArray& value, int& at)
{
    if (at >= value.size())
        return -1;
    const char c = value.at(at++);
    if (c != '\\' || at >= value.size())
        return quint8(c);
    const char kind = value.at(at++);
    int code = 0;
    if (kind == 'x' || kind == 'X') {
        for (int digits = 0; digits < 4 && at < value.size() && hexValue(value.at(at)) >= 0; ++digits)
            code = code * 16 + hexValue(value.at(at++));
        return code;
    }
    if (kind >= '0' && kind <= '7') {
        code = kind - '0';
        for (int digits = 1; digits < 3 && at < value.size() && value.at(at) >= '0' && value.at(at) <= '7'; ++digits)
            code = code * 8 + (value.at(at++) - '0');
        return code;
    }
    return quint8(kind);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

void skipSpaces(const QByteArray& value, int& at)
{
    while (at < value.size() && isBlank(value.at(at)))
        ++at;
}

// Whether an element decodes to a serialized variant ("@@" is a text, "@Invalid()" an empty list).
bool elementIsEncoded(const QByteArray& value, int at)
{
    static const QByteArray marker = "@Variant(";
    skipSpaces(value, at);
    int character = nextCharacter(value, at);
    if (character == '"')
        character = nextCharacter(value, at);
    for (const char expected : marker) {
        if (character != expected)
            return false;
        character = nextCharacter(value, at);
    }
    return true;
}

// Moves past the rest of an element: to the character after the next unquoted comma, or the end.
void skipElement(const QByteArray& value, int& at, bool quoted)
{
    while (at < value.size()) {
        const char c = value.at(at);
        if (c == '\\') {
            nextCharacter(value, at);
            continue;
        }
        ++at;
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            return;
    }
}

// A value is a list when it has unquoted commas; each element is checked.
bool valueIsEncoded(const QByteArray& value)
{
    int at = 0;
    while (at < value.size()) {
        if (elementIsEncoded(value, at))
            return true;
        skipSpaces(value, at);
        const bool quoted = at < value.size() && value.at(at) == '"';
        if (quoted)
            ++at;
        skipElement(value, at, quoted);
    }
    return false;
}

// The file's lines, a line continued with a backslash joined to the next through `joint`.
QList<QByteArray> logicalLines(const QByteArray& bytes, const QByteArray& joint)
{
    QByteArray joined = bytes;
    joined.replace("\\\r\n", joint).replace("\\\n", joint);
    return joined.split('\n');
}

// The last value of "group/key" in the file, trimmed; empty when it has none.
QByteArray writtenValue(const QByteArray& bytes, const QByteArray& groupKey)
{
    QByteArray group;
    QByteArray value;
    // The joint reads as an escaped character, so the blanks after a comma end there: QSettings
    // keeps those that begin the next line.
    for (const QByteArray& line : logicalLines(bytes, "\\\r")) {
        const QByteArray trimmed = line.trimmed();
        const int equals = trimmed.indexOf('=');
        if (trimmed.startsWith('['))
            group = trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed();
        else if (!trimmed.startsWith(';') && equals >= 0 && group + '/' + trimmed.left(equals).trimmed() == groupKey)
            value = trimmed.mid(equals + 1).trimmed();
    }
    return value;
}

// Each unquoted comma of a value with the blanks around it.
QList<QByteArray> separators(const QByteArray& value)
{
    QList<QByteArray> found;
    bool quoted = false;
    for (int at = 0; at < value.size(); ++at) {
        const char c = value.at(at);
        if (c == '\\') {
            ++at;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            int from = at;
            while (from > 0 && isBlank(value.at(from - 1)))
                --from;
            int to = at + 1;
            skipSpaces(value, to);
            found << value.mid(from, to - from);
        }
    }
    return found;
}

}  // namespace

std::unique_ptr<QSettings> IniFile::open(const QString& path)
{
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
    return settings;
}

bool IniFile::holdsEncodedValue(const QByteArray& bytes)
{
    for (const QByteArray& line : logicalLines(bytes, QByteArray())) {
        const QByteArray trimmed = line.trimmed();
        const int equals = trimmed.indexOf('=');
        if (trimmed.startsWith('[') || trimmed.startsWith(';') || equals < 0)
            continue;
        if (valueIsEncoded(trimmed.mid(equals + 1)))
            return true;
    }
    return false;
}

QString IniFile::listAsWritten(const QByteArray& bytes, const QString& groupKey, const QStringList& parts)
{
    const QList<QByteArray> found = separators(writtenValue(bytes, groupKey.toUtf8()));
    if (found.size() != parts.size() - 1)
        return parts.join(QStringLiteral(", "));
    QString text = parts.first();
    for (int i = 0; i < found.size(); ++i)
        text += QString::fromLatin1(found.at(i)) + parts.at(i + 1);
    return text;
}
