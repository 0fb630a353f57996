#pragma once

#include <QItemDelegate>
#include <QStringList>

// Edits a cell with a combo box over a list owned elsewhere, so a list replaced later (a project
// load) is what the next editor offers. The cell receives the chosen text, not its position.
class ComboBoxDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    // An editable list keeps at most this many names; typed names push out the oldest typed one,
    // never one of the kept names.
    static constexpr int maximumItems = 50;

    ComboBoxDelegate(QObject* parent, QStringList* items, bool editable, const QStringList& keptItems = {});
    ~ComboBoxDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

signals:
    void currentIndexChanged(int index);

public slots:
    void removeItem();

private:
    void rememberTypedName(const QString& text) const;

    QStringList* m_items;
    bool m_editable;
    QStringList m_keptItems;
};
