#pragma once

#include "ArchiveRecord.h"

#include <QStringList>
#include <QVector>

class ArchiveModel;
class QAbstractItemModel;

// Archive frames and records the archive tests load, and ways to read back what a model holds.
namespace ArchiveTestData {

// Frame i measured i (reference) and i + 0.5, so every row tells where it came from.
QByteArray frameAt(int i, quint8 unitCode = 6);
ArchiveRecord record(const QByteArray& frame, quint32 index);
// ArchiveFrameBuilder::mixed frames 0..count-1; indexes wrap at the archive's 512 places.
QVector<ArchiveRecord> mixedRecords(int count);
QList<quint32> indexes(const ArchiveModel& model);
QStringList column(const QAbstractItemModel& model, int column);

}  // namespace ArchiveTestData
