#include "ArchiveModel.h"

#include "ResultsModel.h"
#include "TextDiscription.h"

#include <QThread>
#include <algorithm>
#include <cmath>

namespace {

constexpr int unitColumn = 3;
constexpr int serialColumn = 4;
constexpr int moduleSerialColumn = 8;
constexpr int hartColumn = 12;

QVariant userValue(const ArchiveRecord& record, int column)
{
    switch (column) {
    case unitColumn:
        return record.unitIndex();
    case serialColumn:
        return record.deviceSerial();
    case hartColumn:
        return uint(record.hartOnline());
    default:
        return QVariant();
    }
}

QString paddedNumber(quint32 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 10, QLatin1Char('0'));
}

// A view writes a number with six significant digits; a frame's float is shown with all it holds,
// in the text that the filters also read.
QVariant shownValue(const QVariant& value)
{
    return value.userType() == QMetaType::Double ? QVariant(value.toString()) : value;
}

double sortKey(const ArchiveRecord& record, int column)
{
    switch (column) {
    case 0:
        return record.index();
    case 1:
        return double(record.timeKey());
    case 2:
        return record.temperature();
    case unitColumn:
        return record.unitCode();
    case serialColumn:
        return record.deviceSerial();
    case 5:
        return record.reference();
    case 6:
        return record.measured();
    case 7:
        return record.error();
    case 9:
        return record.hartPressure();
    case 10:
        return record.hartError();
    case 11:
        return record.errorCode();
    default:
        // Only 1 shows as online; any other byte shows as offline and sorts with the zeros.
        return record.hartOnline() == 1 ? 1 : 0;
    }
}

QVariant sortKeyValue(const ArchiveRecord& record, int column)
{
    if (!ArchiveModel::sortsColumn(column))
        return QVariant();
    const double key = sortKey(record, column);
    return std::isnan(key) ? QVariant() : QVariant(key);
}

}  // namespace

ArchiveModel::ArchiveModel(QObject* parent) : QAbstractTableModel(parent) {}

bool ArchiveModel::sortsColumn(int column)
{
    return column >= 0 && column <= hartColumn && column != moduleSerialColumn;
}

QModelIndex ArchiveModel::index(int row, int column, const QModelIndex& parent) const
{
    const bool inside = !parent.isValid() && row >= 0 && row < m_rows.size() && column >= 0 && column < columnTotal;
    return inside ? createIndex(row, column) : QModelIndex();
}

int ArchiveModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ArchiveModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QVariant ArchiveModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const ArchiveRecord& record = m_rows.at(index.row());
    if (role == RecordRowRole)
        return index.row();
    if (role == SortKeyRole)
        return sortKeyValue(record, index.column());
    if (role == Qt::UserRole)
        return userValue(record, index.column());
    if (role == Qt::EditRole)
        return displayValue(record, index.column());
    if (role == Qt::DisplayRole)
        return shownValue(displayValue(record, index.column()));
    return QVariant();
}

QVariant ArchiveModel::displayValue(const ArchiveRecord& record, int column) const
{
    switch (column) {
    case 0:
        return record.index() + 1;
    case 1:
        return record.dateTimeText();
    case 2:
        return widenFloat(record.temperature());
    case unitColumn:
        return unitName(record.unitIndex());
    case serialColumn:
        return paddedNumber(record.deviceSerial(), 5);
    case 5:
        return widenFloat(record.reference());
    case 6:
        return widenFloat(record.measured());
    case 7:
        return widenFloat(record.error());
    case moduleSerialColumn:
        return paddedNumber(record.moduleSerial(), 7);
    case 9:
        return widenFloat(record.hartPressure());
    case 10:
        return widenFloat(record.hartError());
    case 11:
        return int(record.errorCode());
    case hartColumn:
        return hartOnlineText(record.hartOnline() == 1);
    default:
        return QVariant();
    }
}

QString ArchiveModel::hartOnlineText(bool online)
{
    return online ? tr("Да") : tr("Нет");
}

QVariant ArchiveModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("№");
    case 1:
        return tr("Дата/Время");
    case 2:
        return tr("Т, °С");
    case unitColumn:
        return tr("Единицы");
    case serialColumn:
        return tr("Зав. №");
    case 5:
        return tr(" P, эт.");
    case 6:
        return tr(" P изм.");
    case 7:
        return tr("Погр., %");
    case moduleSerialColumn:
        return tr("ТЖС Зав. №");
    case 9:
        return tr("HART P изм.");
    case 10:
        return tr("HART Погр., %");
    case 11:
        return tr("Код ошибки");
    case hartColumn:
        return tr("HART на связи");
    default:
        return QVariant();
    }
}

void ArchiveModel::sort(int column, Qt::SortOrder order)
{
    beginResetModel();
    if (sortsColumn(column)) {
        std::stable_sort(m_rows.begin(), m_rows.end(), [column, order](const ArchiveRecord& a, const ArchiveRecord& b) {
            return sortKeyBefore(sortKey(a, column), sortKey(b, column), order);
        });
    }
    endResetModel();
}

// A frame queued by the archive thread before the rows were replaced belongs to the old rows.
void ArchiveModel::append(const ArchiveRecord& record)
{
    if (QThread::currentThread() != thread()) {
        const int generation = m_generation;
        QMetaObject::invokeMethod(
            this, [this, record, generation] {
                if (generation == m_generation)
                    append(record);
            },
            Qt::QueuedConnection);
        return;
    }
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_rows.append(record);
    endInsertRows();
}

void ArchiveModel::clear()
{
    replaceRecords({});
}

void ArchiveModel::replaceRecords(const QVector<ArchiveRecord>& records)
{
    beginResetModel();
    ++m_generation;
    m_rows = records;
    endResetModel();
    resumePosition = 0;
    emit recordsReplaced();
}

bool ArchiveModel::isEmpty() const
{
    return m_rows.isEmpty();
}

const ArchiveRecord& ArchiveModel::record(int row) const
{
    return m_rows.at(row);
}
