#include "ArchiveModel.h"
#include "ConfiguratorModule.h"
#include "DeviceZFN.h"
#include "TextDiscription.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>

namespace {

// One device object with its module for the whole run, as the program has.
struct Workbench
{
    Workbench()
    {
        DeviceZFN::setPopUpSink([](const QString&) {});
        initChoiceLists();
        device.init();
        device.setConfiguratorModule(new ConfiguratorModule(&device));
    }

    int argc = 1;
    char name[5] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
    // Saves are synced to disk; memory keeps that quick.
    QTemporaryDir folder{QFileInfo(QStringLiteral("/dev/shm")).isDir() ? QStringLiteral("/dev/shm/fuzz-XXXXXX")
                                                                         : QString()};
    DeviceZFN device;
    // "[group]\nkey=" for every key a project holds, taken from a file the module wrote.
    QList<QByteArray> keyPrefixes;
};

Workbench& workbench()
{
    static Workbench bench;
    return bench;
}

// Fixed names keep QSettings' cache of files from growing with every input.
QString pathOf(const char* name)
{
    return workbench().folder.path() + QLatin1Char('/') + QLatin1String(name);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        __builtin_trap();
}

// Everything a project stores, as the module itself writes it.
QByteArray storedRecords(ConfiguratorModule& module)
{
    const QString path = pathOf("records.ini");
    if (!module.saveProjectFile(path))
        __builtin_trap();
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QFile::remove(path);
    return bytes;
}

QList<QByteArray> keyPrefixes(const QByteArray& project)
{
    QList<QByteArray> prefixes;
    QByteArray group;
    for (const QByteArray& line : project.split('\n')) {
        if (line.startsWith('['))
            group = line;
        else if (line.contains('='))
            prefixes << group + '\n' + line.left(line.indexOf('=') + 1);
    }
    return prefixes;
}

// An even first byte gives the bytes as they are; an odd one turns every further line into a value
// of the key its first byte picks, so that every value check is reached without the key names.
QByteArray projectText(ConfiguratorModule& module, const QByteArray& input)
{
    if (input.isEmpty() || (quint8(input.at(0)) & 1) == 0)
        return input;
    QList<QByteArray>& prefixes = workbench().keyPrefixes;
    if (prefixes.isEmpty())
        prefixes = keyPrefixes(storedRecords(module));
    QByteArray text;
    for (const QByteArray& line : input.mid(1).split('\n'))
        if (!line.isEmpty())
            text += prefixes.at(quint8(line.at(0)) % prefixes.size()) + line.mid(1) + '\n';
    return text;
}

void loadProject(ConfiguratorModule& module, const QString& path)
{
    const QByteArray before = storedRecords(module);
    if (!module.loadProjectFile(path) && storedRecords(module) != before)
        __builtin_trap();
}

// Only whole, checked frames of the calibrator's archive may reach the model.
void loadArchive(ConfiguratorModule& module, const QString& path, int size)
{
    if (!module.loadArchiveFile(path))
        __builtin_trap();
    const ArchiveModel& model = *workbench().device.archiveModel();
    if (model.rowCount() > size / ArchiveRecord::recordSize)
        __builtin_trap();
    for (int row = 0; row < model.rowCount(); ++row)
        if (!model.record(row).isValid() || model.record(row).index() > 511)
            __builtin_trap();
}

}  // namespace

// The bytes as a project file and as an archive file, through the loads the program runs.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ConfiguratorModule& module = *workbench().device.configuratorModule();
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const QString project = pathOf("project.ini");
    writeFile(project, projectText(module, input));
    loadProject(module, project);
    QFile::remove(project);
    const QString archive = pathOf("archive.ZFN");
    writeFile(archive, input);
    loadArchive(module, archive, input.size());
    QFile::remove(archive);
    return 0;
}
