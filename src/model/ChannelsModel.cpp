#include "ChannelsModel.h"

#include "TextDiscription.h"

#include <QThread>
#include <cmath>

namespace {

constexpr int currentColumn = 3;
constexpr double currentMin = -5;
constexpr double currentMax = 25;

QString rangeValueText(double value, quint8 unit)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    return QString::number(value, 'g', 6) + QLatin1Char(' ') + unitName(unit);
}

QString measuredText(double value, int decimals, const QString& suffix)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    return russianLocale().toString(value, 'f', decimals) + suffix;
}

QString outputText(quint8 outputType)
{
    if (outputType >= TextDiscription::lstOutputs.size())
        return QStringLiteral("-");
    return TextDiscription::lstOutputs.at(outputType);
}

}  // namespace

ChannelsModel::ChannelsModel(QObject* parent) : QAbstractTableModel(parent) {}

int ChannelsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ChannelsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QVariant ChannelsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnTotal)
        return QVariant();
    const ChannelRecord& record = m_rows.at(index.row());
    if (role == Qt::EditRole && index.column() == currentColumn && m_currentEditable)
        return record.current;
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cellText(index.row(), index.column());
    return QVariant();
}

QString ChannelsModel::cellText(int row, int column) const
{
    const ChannelRecord& record = m_rows.at(row);
    if (column >= currentColumn && !m_measured.at(row))
        return QStringLiteral("-");
    const QString unitSuffix = QLatin1Char(' ') + unitName(record.unit);
    switch (column) {
    case 0:
        return rangeValueText(record.hartRange ? record.hartLow : record.rangeLow, record.unit);
    case 1:
        return rangeValueText(record.hartRange ? record.hartHigh : record.rangeHigh, record.unit);
    case 2:
        return outputText(record.outputType);
    case 3:
        return measuredText(record.current, 4, tr(" мА"));
    case 4:
        return measuredText(record.measured, 5, unitSuffix);
    case 5:
        return measuredText(record.reference, 5, unitSuffix);
    default:
        return measuredText(record.error, 4, QStringLiteral(" %"));
    }
}

bool ChannelsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != currentColumn
        || index.row() >= m_rows.size())
        return false;
    bool ok = false;
    const double typed = value.toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(typed))
        return false;
    m_rows[index.row()].current = qBound(currentMin, typed, currentMax);
    emit dataChanged(index, index);
    return true;
}

QVariant ChannelsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("P н");
    case 1:
        return tr("P в");
    case 2:
        return tr("Выход");
    case 3:
        return tr("Ток");
    case 4:
        return tr("Давление");
    case 5:
        return tr("Эталон");
    case 6:
        return tr("Погрешность");
    default:
        return QVariant();
    }
}

Qt::ItemFlags ChannelsModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == currentColumn && m_currentEditable)
        result |= Qt::ItemIsEditable;
    return result;
}

void ChannelsModel::append(const ChannelRecord& record)
{
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_rows.append(record);
    m_measured.append(false);
    endInsertRows();
    m_hartInterval = m_rows.first().hartRange;
}

void ChannelsModel::setFixedEtalon(bool on, double value)
{
    m_fixedEtalonOn = on;
    if (on)
        m_fixedEtalonValue = value;
}

double ChannelsModel::fixedEtalon() const
{
    return m_fixedEtalonValue;
}

bool ChannelsModel::isFixedEtalon() const
{
    return m_fixedEtalonOn;
}

void ChannelsModel::setCurrentEditable(bool editable)
{
    m_currentEditable = editable;
}

void ChannelsModel::setHartInterval(bool on, double low, double high)
{
    changeRow(0, [on, low, high](ChannelRecord& row) {
        row.hartLow = low;
        row.hartRange = on;
        row.hartHigh = high;
    });
}

bool ChannelsModel::isHartInterval() const
{
    return m_hartInterval;
}

// A cycle computed for another unit or range than the row now shows is not shown under its labels.
void ChannelsModel::updateMeasurement(int row, const ChannelRecord& record)
{
    const quint32 session = m_session;
    changeRow(row, [this, row, record, session](ChannelRecord& target) {
        if (session != m_session || !target.sameScale(record))
            return;
        m_measured[row] = true;
        target.measured = record.measured;
        target.error = record.error;
        target.reference = record.reference;
        target.hartCurrent = record.hartCurrent;
        if (!m_currentEditable)
            target.current = record.current;
    });
}

void ChannelsModel::beginSession()
{
    ++m_session;
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { hideMeasurements(); }, Qt::QueuedConnection);
        return;
    }
    hideMeasurements();
}

void ChannelsModel::hideMeasurements()
{
    beginResetModel();
    m_measured.fill(false);
    endResetModel();
}

void ChannelsModel::setRecord(int row, const ChannelRecord& record)
{
    changeRow(row, [record](ChannelRecord& target) { target = record; });
}

void ChannelsModel::changeRow(int row, const std::function<void(ChannelRecord&)>& change)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, row, change] { changeRow(row, change); }, Qt::QueuedConnection);
        return;
    }
    if (row < 0 || row >= m_rows.size())
        return;
    ChannelRecord& target = m_rows[row];
    const ChannelRecord before = target;
    beginResetModel();
    change(target);
    if (!target.sameScale(before))
        target.clearMeasurement();
    endResetModel();
    m_hartInterval = m_rows.first().hartRange;
}
