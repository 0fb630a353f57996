#include "IniFile.h"

std::unique_ptr<QSettings> IniFile::open(const QString& path)
{
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
    return settings;
}
