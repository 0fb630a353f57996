#include "ArchiveTestData.h"

#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"

QByteArray ArchiveTestData::frameAt(int i, quint8 unitCode)
{
    return ArchiveFrameBuilder::measurement(unitCode, float(i), float(i) + 0.5f, 0.05f, 4321);
}

ArchiveRecord ArchiveTestData::record(const QByteArray& frame, quint32 index)
{
    return ArchiveRecord(reinterpret_cast<const quint8*>(frame.constData()), index);
}

QVector<ArchiveRecord> ArchiveTestData::mixedRecords(int count)
{
    QVector<ArchiveRecord> records;
    for (int i = 0; i < count; ++i)
        records << record(ArchiveFrameBuilder::mixed(i % 512), quint32(i % 512));
    return records;
}

QList<quint32> ArchiveTestData::indexes(const ArchiveModel& model)
{
    QList<quint32> list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.record(row).index();
    return list;
}

QStringList ArchiveTestData::column(const QAbstractItemModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}
