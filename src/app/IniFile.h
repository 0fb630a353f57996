#pragma once

#include <QSettings>
#include <memory>

// The workstation's INI files, "conf.ini" and projects alike: texts in UTF-8, while the
// \xNNNN escapes of files written without a codec still read.
class IniFile
{
public:
    static std::unique_ptr<QSettings> open(const QString& path);
};
