#pragma once

#include <QAbstractTableModel>
#include <QStringList>

// The protocol templates of one folder: its ".xlsx" files (any case of the suffix), without the
// lock files that an open workbook leaves beside itself.
class ModelTemplates : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ModelTemplates(const QString& folder, QObject* parent = nullptr);
    ~ModelTemplates() override;

    void setFolder(const QString& folder) { m_folder = folder; }
    QString folder() const { return m_folder; }
    void loadFolder();
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    int count() const { return m_names.size(); }
    // Case-sensitive; an empty text matches every row.
    bool matchesFilter(int row, const QString& text) const;
    bool nameEquals(int row, const QString& text) const;
    bool contains(const QString& name) const;
    // The configured name when it is listed, else the first file, else an empty text.
    QString defaultTemplate(const QString& configured) const;

private:
    QString m_folder;
    QStringList m_names;
};

extern ModelTemplates* g_modelTemplates;
