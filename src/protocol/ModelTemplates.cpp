#include "ModelTemplates.h"

#include <QDir>

ModelTemplates* g_modelTemplates = nullptr;

namespace {

bool isTemplateName(const QString& name)
{
    return name.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) && !name.startsWith(QLatin1String("~$"));
}

}  // namespace

ModelTemplates::ModelTemplates(const QString& folder, QObject* parent) : QAbstractTableModel(parent), m_folder(folder)
{
    loadFolder();
    g_modelTemplates = this;
}

ModelTemplates::~ModelTemplates()
{
    if (g_modelTemplates == this)
        g_modelTemplates = nullptr;
}

void ModelTemplates::loadFolder()
{
    QStringList names;
    const QStringList entries = QDir(m_folder).entryList(QDir::Files, QDir::NoSort);
    for (const QString& name : entries)
        if (isTemplateName(name))
            names.append(name);
    beginResetModel();
    m_names = names;
    endResetModel();
}

void ModelTemplates::clear()
{
    beginResetModel();
    m_names.clear();
    endResetModel();
}

int ModelTemplates::rowCount(const QModelIndex&) const
{
    return m_names.size();
}

int ModelTemplates::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant ModelTemplates::data(const QModelIndex& index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || index.column() != 0 || index.row() < 0
        || index.row() >= m_names.size())
        return QVariant();
    return m_names.at(index.row());
}

QVariant ModelTemplates::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    return section == 0 ? QVariant(tr("Список шаблонов")) : QVariant();
}

bool ModelTemplates::matchesFilter(int row, const QString& text) const
{
    return text.isEmpty() || m_names.value(row).contains(text, Qt::CaseSensitive);
}

bool ModelTemplates::nameEquals(int row, const QString& text) const
{
    return row >= 0 && row < m_names.size() && m_names.at(row) == text;
}

bool ModelTemplates::contains(const QString& name) const
{
    return m_names.contains(name);
}

QString ModelTemplates::defaultTemplate(const QString& configured) const
{
    if (contains(configured))
        return configured;
    return m_names.value(0);
}
