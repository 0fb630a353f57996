#include "ConfiguratorModule.h"

#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "CalibratorMap.h"
#include "Crc16.h"
#include "DeviceSettings.h"
#include "DeviceZFN.h"
#include "InteractionHooks.h"
#include "PollController.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace {

constexpr int deviceSerialOffset = 57;
constexpr quint16 checkedBytes = 62;
const QString archivesFolder = QStringLiteral("Archives");

enum class FrameCheck { Accept, Skip, Damaged };

bool hasGoodCheckValue(const QByteArray& bytes)
{
    const auto* frame = reinterpret_cast<const quint8*>(bytes.constData());
    return Crc16::bitwiseModbus(frame, checkedBytes) == qFromLittleEndian<quint16>(frame + checkedBytes);
}

// Cleared frames and unknown units are empty places of the archive, not damage.
FrameCheck checkFrame(const QByteArray& bytes, const ArchiveRecord& record)
{
    if (!hasGoodCheckValue(bytes))
        return FrameCheck::Damaged;
    if (!record.isValid())
        return FrameCheck::Skip;
    return record.index() < quint32(CalibratorMap::ArchiveFrameCount) ? FrameCheck::Accept : FrameCheck::Damaged;
}

}  // namespace

void ConfiguratorModule::saveArchive()
{
    if (g_device->archiveModel()->isEmpty()) {
        g_device->showPopUpMessage(tr("Архив пуст!"));
        return;
    }
    const FileDialog dialog{FileChooser::Save,         settingFilePathRoughtArchive,
                            archivesFolder,            tr("Сохранение архива"),
                            tr("Файлы архива ЗФН (*.ZFN)"), proposedArchiveName(),
                            QStringLiteral(".ZFN")};
    const QString path = chooseFile(dialog, m_dialogParent);
    if (!path.isEmpty())
        saveArchiveFile(path);
}

// The calibrator's serial number is known once its settings were read; until then the frames carry it.
QString ConfiguratorModule::proposedArchiveName() const
{
    quint32 serial = qFromLittleEndian<quint32>(g_device->deviceSettings()->bytes.data() + deviceSerialOffset);
    if (serial == 0)
        serial = g_device->archiveModel()->record(0).deviceSerial();
    return QStringLiteral("Архив_") + QString::number(serial) + QLatin1Char('_')
        + InteractionHooks::now().toString(QStringLiteral("dd-MM-yyyy hh_mm_ss"));
}

bool ConfiguratorModule::saveArchiveFile(const QString& path)
{
    const ArchiveModel* model = g_device->archiveModel();
    QSaveFile file(path);
    bool saved = file.open(QIODevice::WriteOnly);
    for (int row = 0; saved && row < model->rowCount(); ++row) {
        const QByteArray bytes = model->record(row).toBytes();
        saved = file.write(bytes) == bytes.size();
    }
    saved = saved && file.commit();
    g_device->showPopUpMessage(saved ? tr("Архив успешно записан!") : tr("При сохранении архива возникла ошибка!"));
    return saved;
}

// The archive thread appends to the model while it reads or clears, so a file must not replace it then.
void ConfiguratorModule::openArchive()
{
    if (g_device->pollController()->isArchiveRunning()) {
        g_device->refuseBusyPort();
        return;
    }
    const FileDialog dialog{FileChooser::Open, settingFilePathRoughtArchive, archivesFolder, tr("Загрузка архива"),
                            tr("Файлы архива ZFN-20 (*.ZFN)"), QString(), QString()};
    const QString path = chooseFile(dialog, m_dialogParent);
    if (!path.isEmpty() && loadArchiveFile(path))
        emit archiveFileLoaded();
}

bool ConfiguratorModule::loadArchiveFile(const QString& path)
{
    QVector<ArchiveRecord> records;
    bool damaged = false;
    if (!readArchiveRecords(path, &records, &damaged)) {
        g_device->showPopUpMessage(tr("При открытии файла возникла ошибка!"));
        return false;
    }
    g_device->archiveModel()->replaceRecords(records);
    g_device->showPopUpMessage(damaged ? tr("При загрузке архива допущены ошибки!") : tr("Архив успешно загружен!"));
    return true;
}

bool ConfiguratorModule::readArchiveRecords(const QString& path, QVector<ArchiveRecord>* records, bool* damaged)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    for (;;) {
        const QByteArray bytes = file.read(ArchiveRecord::recordSize);
        ArchiveRecord record;
        if (!ArchiveRecord::fromBytes(bytes, &record)) {
            *damaged = *damaged || !bytes.isEmpty() || file.error() != QFileDevice::NoError;
            return true;
        }
        const FrameCheck check = checkFrame(bytes, record);
        *damaged = *damaged || check == FrameCheck::Damaged;
        if (check == FrameCheck::Accept)
            records->append(record);
    }
}
