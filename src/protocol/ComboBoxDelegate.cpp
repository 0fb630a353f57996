#include "ComboBoxDelegate.h"

#include <QComboBox>
#include <QStringList>

ComboBoxDelegate::ComboBoxDelegate(QObject* parent, QStringList* items, bool editable, const QStringList& keptItems)
    : QItemDelegate(parent), m_items(items), m_editable(editable), m_keptItems(keptItems)
{
}

ComboBoxDelegate::~ComboBoxDelegate() = default;

QWidget* ComboBoxDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* combo = new QComboBox(parent);
    combo->setAttribute(Qt::WA_DeleteOnClose);
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &ComboBoxDelegate::currentIndexChanged);
    combo->setEditable(m_editable);
    combo->addItems(*m_items);
    return combo;
}

// An open editable combo may hold a confirmed name that the list lacks; it joins the list here.
void ComboBoxDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* combo = static_cast<QComboBox*>(editor);
    const QString text = index.model()->data(index, Qt::EditRole).toString();
    const int position = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (position >= m_items->size())
        rememberTypedName(text);
    combo->setCurrentIndex(position);
}

void ComboBoxDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
}

void ComboBoxDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}

void ComboBoxDelegate::removeItem()
{
}

// The name just typed is the newest, so it is never the one that goes.
void ComboBoxDelegate::rememberTypedName(const QString& text) const
{
    m_items->append(text);
    if (m_items->size() <= maximumItems)
        return;
    for (int i = 0; i < m_items->size() - 1; ++i) {
        if (!m_keptItems.contains(m_items->at(i))) {
            m_items->removeAt(i);
            return;
        }
    }
}
