#include "ConfiguratorModule.h"

#include "MainWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QMetaEnum>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Never translated: the folder is where earlier runs left their files.
const QString settingsFolderName = QStringLiteral("/АРМ ЗФН/");
const QString settingsFileName = QStringLiteral("conf.ini");

ConfiguratorModule::UrlOpener& urlOpener()
{
    static ConfiguratorModule::UrlOpener opener;
    return opener;
}

bool openUrl(const QString& path)
{
    const QUrl url = QUrl::fromUserInput(path);
    return urlOpener() ? urlOpener()(url) : QDesktopServices::openUrl(url);
}

QString folderPart(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

}  // namespace

ConfiguratorModule::ConfiguratorModule(QObject* parent) : QObject(parent) {}

void ConfiguratorModule::loadLastProject()
{
    MainWindow::loadTabsFromSettings();
}

void ConfiguratorModule::openProject(QWidget*)
{
    MainWindow::loadTabsFromSettings();
}

void ConfiguratorModule::saveProjectAs(QWidget*)
{
    MainWindow::saveTabsToSettings();
}

QString ConfiguratorModule::settingsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + settingsFolderName;
}

QString ConfiguratorModule::enumSettingsKey(enumSettings key)
{
    return QString::fromLatin1(QMetaEnum::fromType<enumSettings>().valueToKey(key));
}

void ConfiguratorModule::setPathSetting(enumSettings key, const QString& value)
{
    QSettings settings(settingsFolder() + settingsFileName, QSettings::IniFormat);
    settings.setValue(enumSettingsKey(key), value);
}

QString ConfiguratorModule::pathSetting(enumSettings key)
{
    const QSettings settings(settingsFolder() + settingsFileName, QSettings::IniFormat);
    return settings.value(enumSettingsKey(key)).toString();
}

QString ConfiguratorModule::defaultFolder(enumSettings key, const QString& subFolder)
{
    const QString path = settingsFolder() + subFolder;
    setPathSetting(key, path);
    QDir().mkpath(path);
    return path;
}

void ConfiguratorModule::rememberPath(enumSettings key, const QString& chosenPath, const QString& previous)
{
    if (!chosenPath.contains(QLatin1Char('/')))
        return;
    const QString value = key == settingFilePathLastConfigurationFile ? chosenPath : folderPart(chosenPath);
    if (value != previous)
        setPathSetting(key, value);
}

void ConfiguratorModule::openFileOrFolder(const QString& path)
{
    if (!openUrl(path))
        openUrl(folderPart(path));
}

void ConfiguratorModule::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}
