#include "ResultsModel.h"

#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QThread>
#include <algorithm>

namespace {

constexpr int verdictColumn = 5;
constexpr int expandedColumn = 7;
constexpr int rangeColumn = 9;
constexpr double twoRootThree = 3.4641016151377544;
constexpr double rootThree = 1.7320508075688772;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

double root(double value)
{
    return std::pow(value, 0.5);
}

double mean(const QVector<ResultRecord>& set, double ResultRecord::*field)
{
    double sum = 0;
    for (const ResultRecord& record : set)
        sum += record.*field;
    return sum / set.size();
}

// Type-A standard uncertainty of the mean of the field over the set.
double typeA(const QVector<ResultRecord>& set, double ResultRecord::*field)
{
    const double average = mean(set, field);
    double squares = 0;
    for (const ResultRecord& record : set)
        squares += (record.*field - average) * (record.*field - average);
    const double n = set.size();
    return root(squares / (n * (n - 1)));
}

double referenceSpread(const QVector<ResultRecord>& set)
{
    double minimum = 1.7976931348623157e308;
    double maximum = -1.7976931348623157e308;
    for (const ResultRecord& record : set) {
        if (record.reference < minimum)
            minimum = record.reference;
        if (record.reference > maximum)
            maximum = record.reference;
    }
    return (maximum - minimum) / twoRootThree;
}

double span(const ResultRecord& record)
{
    return record.rangeHigh - record.rangeLow;
}

// The loop-current term, in pressure units, over the output slope the point was measured with.
double currentTerm(const ResultRecord& record)
{
    if (record.kind != 0)
        return 0;
    const double mAPerUnit = (record.outputHigh - record.outputLow) / span(record);
    const double current = record.hasCurrent ? record.current : record.outputHigh;
    return (0.0001 * current + 1.0) * 0.001 / (3 * mAPerUnit);
}

// Fills the uncertainty terms of every record of the set; false when any result is not a number.
// Each point is taken against its own range and output ends: the channel may have been set to
// another since, and a set may hold points of several ranges.
bool computeSet(QVector<ResultRecord>& set, const VerificationSettings& settings)
{
    const double uA = typeA(set, &ResultRecord::reference);
    const double uR = referenceSpread(set);
    const double uB = typeA(set, &ResultRecord::measured);
    const double uIndicator = settings.indicatorCoff / rootThree;
    const double uMeasuredSet = root(uB * uB + uIndicator * uIndicator);
    for (ResultRecord& record : set) {
        const double uP = span(record) * settings.etalonDelta / 300;
        record.uReference = root(uP * uP + uA * uA + uR * uR);
        record.uReferenceSet = true;
        record.uCurrent = currentTerm(record);
        record.uMeasured = root(record.uCurrent * record.uCurrent + uB * uB);
        record.uResult = record.referenceFromDevice ? record.uMeasured : uMeasuredSet;
        record.uResultSet = true;
        record.expanded = 2 * root(record.uReference * record.uReference + record.uResult * record.uResult);
        record.expandedRelative = record.expanded * 100 / span(record);
        record.expandedSet = true;
        if (!std::isfinite(record.expanded) || !std::isfinite(record.expandedRelative))
            return false;
    }
    return true;
}

QString numberText(double value)
{
    return std::isfinite(value) ? doubleToText(value) : QStringLiteral("-");
}

QString pressureText(double value, quint8 unit)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    return doubleToText(value) + QLatin1Char(' ') + unitName(unit);
}

QString verdictText(quint8 verdict)
{
    switch (verdict) {
    case 1:
        return QObject::tr("Да");
    case 2:
        return QObject::tr("Нет для данного коэффициента");
    case 3:
        return QObject::tr("Нет ");
    default:
        return QStringLiteral("Ошибка");
    }
}

QString kindText(quint8 kind)
{
    switch (kind) {
    case 0:
        return QObject::tr("Измерение тока");
    case 1:
        return QObject::tr("Считывание по HART");
    default:
        return QObject::tr("Неизвестно");
    }
}

QVariant fieldValue(const ResultRecord& record, int column)
{
    switch (column) {
    case 0:
        return record.number;
    case 1:
        return record.reference;
    case 2:
        return record.measured;
    case 3:
        return record.error;
    case 4:
        return record.allowedError;
    case verdictColumn:
        return record.verdict;
    case 6:
        return record.kind;
    case expandedColumn:
        return record.expandedRelative;
    case 8:
        return record.group;
    case rangeColumn:
        return record.rangeText;
    default:
        return QVariant();
    }
}

// Rows whose uncertainty was never computed sort with the NaN keys, last.
double numericKey(const ResultRecord& record, int column)
{
    if (column == expandedColumn && !record.expandedSet)
        return std::nan("");
    return fieldValue(record, column).toDouble();
}

bool sortsBefore(const ResultRecord& a, const ResultRecord& b, int column, Qt::SortOrder order)
{
    if (column == rangeColumn)
        return order == Qt::AscendingOrder ? a.rangeText < b.rangeText : a.rangeText > b.rangeText;
    return sortKeyBefore(numericKey(a, column), numericKey(b, column), order);
}

}  // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsModel::setUncertaintySources(const VerificationSettings* settings)
{
    m_settings = settings;
}

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const ResultRecord& record = m_rows.at(index.row()).record;
    switch (index.column()) {
    case 0:
        return record.number;
    case 8:
        return record.group;
    case rangeColumn:
        return record.rangeText;
    default:
        return index.column() < columnTotal ? cellText(record, index.column()) : QVariant();
    }
}

QString ResultsModel::cellText(const ResultRecord& record, int column) const
{
    switch (column) {
    case 1:
        return pressureText(record.reference, record.unit);
    case 2:
        return pressureText(record.measured, record.unit);
    case 3:
        return numberText(record.error);
    case 4:
        return numberText(record.allowedError);
    case verdictColumn:
        return verdictText(record.verdict);
    case 6:
        return kindText(record.kind);
    default:
        return record.expandedSet ? numberText(record.expandedRelative) : QStringLiteral("-");
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return QObject::tr("№ точки");
    case 1:
        return QObject::tr("Эталонное давление");
    case 2:
        return QObject::tr("Измеренное давление");
    case 3:
        return QObject::tr("Измеренная погрешность, %");
    case 4:
        return QObject::tr("Допускаемая погрешность, %");
    case verdictColumn:
        return QObject::tr("Погрешность в допустимых пределах");
    case 6:
        return QObject::tr("Тип измерения");
    case expandedColumn:
        return QObject::tr("Расширенная неопределенность, %");
    case 8:
        return QObject::tr("Группа");
    case rangeColumn:
        return QObject::tr("Диапазон");
    default:
        return QVariant();
    }
}

void ResultsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnTotal)
        return;
    beginResetModel();
    std::stable_sort(m_rows.begin(), m_rows.end(), [column, order](const Row& a, const Row& b) {
        return sortsBefore(a.record, b.record, column, order);
    });
    endResetModel();
}

QVariant ResultsModel::rawData(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    return fieldValue(m_rows.at(index.row()).record, index.column());
}

bool ResultsModel::isEmpty() const
{
    return m_rows.isEmpty();
}

bool ResultsModel::isFull() const
{
    return m_size + m_queuedAppends >= maxCount;
}

ResultRecord* ResultsModel::record(int row)
{
    if (row < 0 || row >= m_rows.size())
        return nullptr;
    return &m_rows[row].record;
}

void ResultsModel::append(const ResultRecord& record)
{
    if (isForeignThread()) {
        ++m_queuedAppends;
        QMetaObject::invokeMethod(
            this,
            [this, record] {
                --m_queuedAppends;
                append(record);
            },
            Qt::QueuedConnection);
        return;
    }
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
    m_rows.append(Row{record, false});
    m_rows.last().record.number = m_nextNumber++;
    endInsertRows();
    m_size = m_rows.size();
}

void ResultsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_nextNumber = 1;
    endResetModel();
    m_size = 0;
}

void ResultsModel::removeResult(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginResetModel();
    m_rows.remove(row);
    endResetModel();
    m_size = m_rows.size();
}

void ResultsModel::setCoefficient(double coefficient)
{
    beginResetModel();
    for (Row& row : m_rows)
        row.record.setCoefficient(coefficient);
    endResetModel();
}

void ResultsModel::setCurrentGroup(int group)
{
    m_currentGroup = group;
}

int ResultsModel::currentGroup() const
{
    return m_currentGroup;
}

void ResultsModel::setGroup(const QList<int>& rows, int group)
{
    beginResetModel();
    for (int row : existingRows(rows))
        m_rows[row].record.group = group;
    endResetModel();
    computeUncertainty(rows);
}

void ResultsModel::processNewRows()
{
    if (isForeignThread()) {
        QMetaObject::invokeMethod(this, [this] { processNewRows(); }, Qt::QueuedConnection);
        return;
    }
    QList<int> fresh;
    for (int row = 0; row < m_rows.size(); ++row) {
        if (!m_rows.at(row).processed) {
            m_rows[row].processed = true;
            fresh.append(row);
        }
    }
    if (!fresh.isEmpty())
        computeUncertainty(fresh);
}

bool ResultsModel::computeUncertainty(const QList<int>& rows)
{
    const QVector<int> set = existingRows(rows);
    beginResetModel();
    const bool computed = applyUncertainty(set);
    if (!computed)
        markUncomputed(set);
    endResetModel();
    if (!computed)
        emit showPopUpMessageSignal(
            QObject::tr("Расширенная неопределенность не рассчитана: нужны не менее двух точек, "
                        "ненулевой диапазон и различные границы выходного сигнала."));
    return computed;
}

bool ResultsModel::isForeignThread() const
{
    return QThread::currentThread() != thread();
}

QVector<int> ResultsModel::existingRows(const QList<int>& rows) const
{
    QVector<int> result;
    QVector<bool> taken(m_rows.size(), false);
    for (int row : rows) {
        if (row >= 0 && row < m_rows.size() && !taken.at(row)) {
            taken[row] = true;
            result.append(row);
        }
    }
    return result;
}

bool ResultsModel::applyUncertainty(const QVector<int>& rows)
{
    if (rows.size() < 2 || !m_settings)
        return false;
    QVector<ResultRecord> set;
    for (int row : rows)
        set.append(m_rows.at(row).record);
    if (!computeSet(set, *m_settings))
        return false;
    for (int i = 0; i < rows.size(); ++i)
        m_rows[rows.at(i)].record = set.at(i);
    return true;
}

void ResultsModel::markUncomputed(const QVector<int>& rows)
{
    for (int row : rows) {
        ResultRecord& record = m_rows[row].record;
        record.uReferenceSet = false;
        record.uResultSet = false;
        record.expandedSet = false;
        record.uReference = notANumber;
        record.uResult = notANumber;
        record.uCurrent = notANumber;
        record.uMeasured = notANumber;
        record.expanded = notANumber;
        record.expandedRelative = notANumber;
    }
}
