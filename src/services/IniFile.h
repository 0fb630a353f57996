#pragma once

#include <QSettings>
#include <QStringList>
#include <memory>

// The workstation's INI files, "conf.ini" and projects alike: texts in UTF-8, while the
// \xNNNN escapes of files written without a codec still read.
class IniFile
{
public:
    static std::unique_ptr<QSettings> open(const QString& path);
    // True when a value would be decoded as a serialized variant ("@Variant(", also behind escapes
    // or quotes): QSettings rebuilds it with QDataStream, whose counts a crafted file can make
    // reserve gigabytes. The workstation writes only texts, numbers and lists.
    static bool holdsEncodedValue(const QByteArray& bytes);
    // The text of a value that QSettings reads as the list `parts`, as the file writes it under
    // "group/key": QSettings splits a value at its unquoted commas and drops the blanks around
    // them, which are taken back from the file.
    static QString listAsWritten(const QByteArray& bytes, const QString& groupKey, const QStringList& parts);
};
