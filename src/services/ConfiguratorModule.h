#pragma once

#include "FileChooser.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVector>
#include <QWidget>
#include <functional>

class ArchiveRecord;
class HAbstractParametr;
class QSettings;

// What the workstation keeps on disk besides the calibrator's own data: the remembered folders in
// "conf.ini", project files and archive files. The start-up makes the one instance of the process
// and hands it to the device object, through which the pages reach it. What the window must do
// around a load or a save it is told by signals. GUI thread only.
class ConfiguratorModule : public QObject
{
    Q_OBJECT
public:
    enum enumSettings {
        settingFilePathResult,
        settingFilePathArchive,
        settingFilePathConfiguration,
        settingFilePathRoughtArchive,
        settingFilePathLastConfigurationFile
    };
    Q_ENUM(enumSettings)

    explicit ConfiguratorModule(QObject* parent = nullptr);
    ~ConfiguratorModule() override;

    static ConfiguratorModule* instance;
    static const QString settingsFolderName;
    static const QString settingsFileName;

    static QString settingsFolder();
    static QString enumSettingsKey(enumSettings key);
    static void setPathSetting(enumSettings key, const QString& value);
    static QString pathSetting(enumSettings key);
    static QString defaultFolder(enumSettings key, const QString& subFolder);
    static void rememberPath(enumSettings key, const QString& chosenPath, const QString& previousValue);
    // Opens the file with the desktop's program; when that fails, its folder.
    static void openFileOrFolder(const QString& path);
    using UrlOpener = std::function<bool(const QUrl&)>;
    // Replaces the desktop, so tests record what would be opened; null restores it.
    static void setUrlOpener(UrlOpener opener);
    // The dialog pattern every file dialog follows: it opens in the folder remembered under key (else
    // in subFolder of the settings folder), and the folder of the chosen file is remembered. For a
    // save, fileName is proposed in that folder and a name that does not end in `suffix` gets it.
    struct FileDialog
    {
        FileChooser::Mode mode;
        enumSettings key;
        QString subFolder;
        QString title;
        QString filter;
        QString fileName;
        QString suffix;
    };
    static QString chooseFile(const FileDialog& dialog, QWidget* parent);

    // The window the project and archive dialogs are modal to.
    void setDialogParent(QWidget* parent);

    QString selectProjectFile(bool open);
    QString lastProjectFile();
    void loadLastProject();
    void openProject();
    void saveProjectAs();

    // The file halves of the operations above, without dialogs and pages; false, with the message
    // shown, when nothing was loaded or the file could not be written whole.
    bool loadProjectFile(const QString& path);
    bool saveProjectFile(const QString& path);
    bool loadArchiveFile(const QString& path);
    bool saveArchiveFile(const QString& path);

signals:
    // A project file was loaded into the records: the pages take their settings from it.
    void projectLoaded();
    // Before the save dialog: the pages put their settings into the records.
    void projectAboutToBeSaved();
    // The save path is chosen; a receiver that clears *accepted stops the save, and nothing is written.
    void projectPathChosen(bool* accepted);
    void currentProjectChanged(const QString& fileName);
    void archiveFileLoaded();

public slots:
    void saveArchive();
    void openArchive();

private:
    // The name chosen in the dialog as it is to be used; false when the dialog is to be shown again.
    static bool takeName(const FileDialog& dialog, QWidget* parent, QString* chosen);
    void openChosenProject(const QString& path);
    void markCurrentProject(const QString& path);
    QString proposedArchiveName() const;
    static bool readArchiveRecords(const QString& path, QVector<ArchiveRecord>* records, bool* damaged);

    void loadSaveParameters(bool load);
    void infoGroup();
    void parametrEntries();
    void channelGroup();
    void commonGroup();

    static QString settingKey(const QString& keyExpression);
    void text(QString& field, const QString& defaultValue, const QString& keyExpression);
    void integer(int& field, int defaultValue, const QString& keyExpression, int minimum, int maximum);
    void shortInteger(qint16& field, qint16 defaultValue, const QString& keyExpression, int minimum);
    void byte(quint8& field, quint8 defaultValue, const QString& keyExpression, int maximum);
    void real(double& field, double defaultValue, const QString& keyExpression);
    void list(QStringList& field, const QString& keyExpression);
    void parametr(HAbstractParametr* field, const QString& keyExpression);
    void flag(quint16 option, const QString& key);

    void readString(QString& field, const QString& defaultValue, const QString& keyExpression);
    void readDouble(double& field, double defaultValue, const QString& keyExpression, double minimum,
                    double maximum);
    void readInt(int& field, int defaultValue, const QString& keyExpression, int minimum, int maximum);
    void readShort(qint16& field, qint16 defaultValue, const QString& keyExpression, int minimum);
    void readByte(quint8& field, quint8 defaultValue, const QString& keyExpression, int maximum);
    void readStringList(QStringList& field, const QString& keyExpression);
    void readParametr(HAbstractParametr* field, const QString& keyExpression);
    void writeParametr(HAbstractParametr* field, const QString& keyExpression);
    void writeValue(const QVariant& value, const QString& keyExpression);
    // The stored value when the key is present; a present value that `convert` refuses is reported.
    template <typename T, typename Convert>
    bool readChecked(const QString& keyExpression, T* value, Convert convert);

    // The project file being read or written; set only for the time of loadSaveParameters.
    QSettings* projectSettings = nullptr;
    // The bytes of the project file being read, for the time of loadSaveParameters too.
    QByteArray m_projectBytes;
    bool m_loading = false;
    QPointer<QWidget> m_dialogParent;
    QStringList m_invalidKeys;
};
