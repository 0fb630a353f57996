#include "ConfiguratorModule.h"

#include "ConfirmPrompt.h"
#include "DeviceZFN.h"
#include "IniFile.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMetaEnum>
#include <QStandardPaths>
#include <QUrl>

ConfiguratorModule* ConfiguratorModule::instance = nullptr;
const QString ConfiguratorModule::settingsFolderName = QStringLiteral("/АРМ ЗФН/");
const QString ConfiguratorModule::settingsFileName = QStringLiteral("conf.ini");

namespace {

const QString projectsFolder = QStringLiteral("Projects");

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString programSettingsPath()
{
    return ConfiguratorModule::settingsFolder() + ConfiguratorModule::settingsFileName;
}

}  // namespace

ConfiguratorModule::ConfiguratorModule(QObject* parent) : QObject(parent)
{
    instance = this;
}

ConfiguratorModule::~ConfiguratorModule()
{
    if (instance == this)
        instance = nullptr;
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
    const auto settings = IniFile::open(programSettingsPath());
    settings->setValue(enumSettingsKey(key), value);
}

QString ConfiguratorModule::pathSetting(enumSettings key)
{
    return IniFile::open(programSettingsPath())->value(enumSettingsKey(key)).toString();
}

QString ConfiguratorModule::defaultFolder(enumSettings key, const QString& subFolder)
{
    const QString path = settingsFolder() + subFolder;
    setPathSetting(key, path);
    QDir().mkpath(path);
    return path;
}

void ConfiguratorModule::rememberPath(enumSettings key, const QString& chosenPath, const QString& previousValue)
{
    if (!chosenPath.contains(QLatin1Char('/')))
        return;
    const QString value = key == settingFilePathLastConfigurationFile ? chosenPath : folderOf(chosenPath);
    if (value != previousValue)
        setPathSetting(key, value);
}

namespace {

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

// The dialog's filter shows only files of its kind, so any other ending, a dot within the name
// included ("prot.v2"), still takes the kind's suffix.
QString withSuffix(const QString& path, const QString& suffix)
{
    return path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix;
}

}  // namespace

void ConfiguratorModule::openFileOrFolder(const QString& path)
{
    if (!openUrl(path))
        openUrl(folderOf(path));
}

void ConfiguratorModule::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

QString ConfiguratorModule::chooseFile(const FileDialog& dialog, QWidget* parent)
{
    QString folder = pathSetting(dialog.key);
    if (folder.isEmpty())
        folder = defaultFolder(dialog.key, dialog.subFolder);
    QString start = dialog.fileName.isEmpty() ? folder : folder + QLatin1Char('/') + dialog.fileName;
    QString chosen;
    do {
        chosen = FileChooser::choose({dialog.mode, parent, dialog.title, start, dialog.filter});
        start = chosen;
    } while (!chosen.isEmpty() && !takeName(dialog, parent, &chosen));
    if (!chosen.isEmpty())
        rememberPath(dialog.key, chosen, folder);
    return chosen;
}

// The dialog asked about replacing the name as typed; a file under the name with the suffix is asked
// about here, as the dialog asks. A "No" goes back to the dialog, as it does in the dialog.
bool ConfiguratorModule::takeName(const FileDialog& dialog, QWidget* parent, QString* chosen)
{
    if (dialog.mode != FileChooser::Save)
        return true;
    const QString named = withSuffix(*chosen, dialog.suffix);
    if (named != *chosen && QFileInfo::exists(named)
        && !ConfirmPrompt::askReplace(dialog.title, fileNameOf(named), parent))
        return false;
    *chosen = named;
    return true;
}

void ConfiguratorModule::setDialogParent(QWidget* parent)
{
    m_dialogParent = parent;
}

QString ConfiguratorModule::selectProjectFile(bool open)
{
    const FileDialog dialog{open ? FileChooser::Open : FileChooser::Save,
                            settingFilePathConfiguration,
                            projectsFolder,
                            open ? tr("Открытие проекта") : tr("Сохранение проекта"),
                            tr("Файлы проекта АРМ ЗФН(*.ini)"),
                            QString(),
                            QStringLiteral(".ini")};
    return chooseFile(dialog, m_dialogParent);
}

QString ConfiguratorModule::lastProjectFile()
{
    const QString path = pathSetting(settingFilePathLastConfigurationFile);
    const QFileInfo file(path);
    return !path.isEmpty() && file.exists() && file.isFile() ? path : QString();
}

void ConfiguratorModule::loadLastProject()
{
    openChosenProject(lastProjectFile());
}

void ConfiguratorModule::openProject()
{
    openChosenProject(selectProjectFile(true));
}

void ConfiguratorModule::openChosenProject(const QString& path)
{
    if (path.isEmpty() || !loadProjectFile(path))
        return;
    emit projectLoaded();
    markCurrentProject(path);
}

void ConfiguratorModule::saveProjectAs()
{
    emit projectAboutToBeSaved();
    const QString path = selectProjectFile(false);
    if (path.isEmpty())
        return;
    // A refused page has shown its message and holds the focus on the bad field; the records
    // still hold the last applied values, so writing them would save what the screen does not show.
    bool accepted = true;
    emit projectPathChosen(&accepted);
    if (accepted && saveProjectFile(path))
        markCurrentProject(path);
}

void ConfiguratorModule::markCurrentProject(const QString& path)
{
    emit currentProjectChanged(fileNameOf(path));
    rememberPath(settingFilePathLastConfigurationFile, path, pathSetting(settingFilePathLastConfigurationFile));
}

#include "moc_ConfiguratorModule.cpp"
