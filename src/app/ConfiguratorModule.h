#pragma once

#include <QObject>
#include <QUrl>
#include <functional>

class QWidget;

// Program settings and project files. The start-up makes the one instance of the process and hands
// it to the device object, through which the pages reach it.
class ConfiguratorModule : public QObject
{
    Q_OBJECT
public:
    // Keys of the last-used folders in "conf.ini"; the key text is the enumerator's name.
    enum enumSettings {
        settingFilePathResult = 0,
        settingFilePathArchive = 1,
        settingFilePathConfiguration = 2,
        settingFilePathRoughtArchive = 3,
        settingFilePathLastConfigurationFile = 4,
    };
    Q_ENUM(enumSettings)
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit ConfiguratorModule(QObject* parent = nullptr);

    void loadLastProject();
    void openProject(QWidget* parent);
    void saveProjectAs(QWidget* parent);

    // The documents folder followed by the program's own folder name, with a slash at the end.
    static QString settingsFolder();
    static QString enumSettingsKey(enumSettings key);
    static void setPathSetting(enumSettings key, const QString& value);
    // Empty when the key was never stored.
    static QString pathSetting(enumSettings key);
    // Stores the folder under the key and creates it when missing.
    static QString defaultFolder(enumSettings key, const QString& subFolder);
    // Keeps the folder of the chosen path (the whole path for the last project file).
    static void rememberPath(enumSettings key, const QString& chosenPath, const QString& previous);
    // Opens the file with the desktop's program; when that fails, its folder.
    static void openFileOrFolder(const QString& path);
    // Replaces the desktop, so tests record what would be opened; null restores it.
    static void setUrlOpener(UrlOpener opener);
};
