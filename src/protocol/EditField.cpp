#include "EditField.h"

#include "HEditableEnumEdit.h"
#include "HPathEdit.h"
#include "ParametrDouble.h"
#include "ParametrEditableEnum.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrPath.h"
#include "ParametrString.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextEdit>

namespace {

bool isMultiLine(const HAbstractParametr* parametr)
{
    return parametr->testFlag(HAbstractParametr::TallInput);
}

template <typename Parametr, typename Value>
void write(Parametr* parametr, const Value& value)
{
    if (parametr->testFlag(HAbstractParametr::DeferredEdit))
        parametr->setEditedValue(value);
    else
        parametr->setValue(value);
}

void fillItems(QComboBox* combo, const QList<ParametrEnumItem*>* items)
{
    combo->clear();
    if (!items)
        return;
    for (const ParametrEnumItem* item : *items)
        combo->addItem(item->text, item->value);
}

}  // namespace

EditField::EditField(QWidget* parent) : QWidget(parent), m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    connect(this, &EditField::changed, this, &EditField::onEdit);
}

EditField::EditField(HAbstractParametr* parametr, QWidget* parent) : EditField(parent)
{
    buildEditor(parametr);
}

EditField::~EditField() = default;

void EditField::buildEditor(HAbstractParametr* parametr)
{
    m_parametr = parametr;
    setToolTip(parametr->toolTipText());
    fillEditor();
}

void EditField::reload()
{
    if (m_parametr)
        buildEditor(m_parametr);
}

// The previous editor is kept when it was built for the same type, with its change signal
// disconnected while it is refilled.
template <typename Editor, typename... Args>
Editor* EditField::editorFor(int typeId, Args... args)
{
    if (m_editorType == typeId) {
        if (auto* editor = qobject_cast<Editor*>(m_editor)) {
            disconnect(editor, nullptr, this, nullptr);
            return editor;
        }
    }
    delete m_editor;
    auto* editor = new Editor(args..., this);
    m_editor = editor;
    m_layout->addWidget(editor);
    return editor;
}

void EditField::fillEditor()
{
    const int typeId = m_parametr->typeId();
    switch (typeId) {
    case ParametrEnum::TypeId: {
        auto* parametr = static_cast<ParametrEnum*>(m_parametr);
        auto* combo = editorFor<QComboBox>(typeId);
        fillItems(combo, parametr->items());
        combo->setCurrentIndex(parametr->currentIndex());
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &EditField::changed);
        break;
    }
    case ParametrString::TypeId: {
        auto* parametr = static_cast<ParametrString*>(m_parametr);
        if (isMultiLine(parametr)) {
            auto* edit = editorFor<QTextEdit>(typeId);
            edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            edit->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Maximum);
            edit->setPlainText(parametr->value());
            connect(edit, &QTextEdit::textChanged, this, &EditField::changed);
        } else {
            auto* edit = editorFor<QLineEdit>(typeId);
            edit->setMaxLength(parametr->storedOption());
            edit->setText(parametr->value());
            connect(edit, &QLineEdit::textChanged, this, &EditField::changed);
        }
        break;
    }
    case ParametrDouble::TypeId: {
        auto* parametr = static_cast<ParametrDouble*>(m_parametr);
        auto* spin = editorFor<QDoubleSpinBox>(typeId);
        spin->setDecimals(parametr->decimals());
        spin->setRange(parametr->minimum(), parametr->maximum());
        spin->setValue(parametr->value());
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &EditField::changed);
        break;
    }
    case ParametrInt::TypeId: {
        auto* parametr = static_cast<ParametrInt*>(m_parametr);
        auto* spin = editorFor<QSpinBox>(typeId);
        spin->setRange(parametr->minimum(), parametr->maximum());
        spin->setValue(parametr->value());
        connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this, &EditField::changed);
        break;
    }
    case ParametrPath::TypeId: {
        auto* parametr = static_cast<ParametrPath*>(m_parametr);
        auto* path = editorFor<HPathEdit>(typeId, parametr);
        disconnect(path->lineEdit(), nullptr, this, nullptr);
        path->setParametr(parametr);
        path->lineEdit()->setText(parametr->value());
        connect(path->lineEdit(), &QLineEdit::textChanged, this, &EditField::changed);
        break;
    }
    case ParametrEditableEnum::TypeId: {
        auto* parametr = static_cast<ParametrEditableEnum*>(m_parametr);
        auto* combo = editorFor<HEditableEnumEdit>(typeId);
        fillItems(combo, parametr->items());
        combo->setCurrentText(parametr->valueText());
        connect(combo, &HEditableEnumEdit::onFocusLostEvent, this, &EditField::changed);
        break;
    }
    default:
        return;
    }
    m_editorType = typeId;
}

void EditField::onEdit()
{
    if (!m_editor || !m_parametr || m_editorType != m_parametr->typeId())
        return;
    switch (m_editorType) {
    case ParametrEnum::TypeId: {
        auto* combo = static_cast<QComboBox*>(m_editor);
        if (combo->currentIndex() >= 0)
            write(static_cast<ParametrEnum*>(m_parametr), combo->currentData(Qt::UserRole).toInt());
        break;
    }
    case ParametrString::TypeId:
        if (auto* line = qobject_cast<QLineEdit*>(m_editor))
            writeText(line->text());
        else
            writeMultiLine();
        break;
    case ParametrDouble::TypeId:
        write(static_cast<ParametrDouble*>(m_parametr), static_cast<QDoubleSpinBox*>(m_editor)->value());
        break;
    case ParametrInt::TypeId:
        write(static_cast<ParametrInt*>(m_parametr), static_cast<QSpinBox*>(m_editor)->value());
        break;
    case ParametrPath::TypeId:
        static_cast<ParametrPath*>(m_parametr)->setValue(static_cast<HPathEdit*>(m_editor)->lineEdit()->text());
        break;
    case ParametrEditableEnum::TypeId:
        static_cast<ParametrEditableEnum*>(m_parametr)->setValue(static_cast<QComboBox*>(m_editor)->currentText());
        break;
    default:
        break;
    }
}

void EditField::writeText(const QString& text)
{
    write(static_cast<ParametrString*>(m_parametr), text);
}

// Text beyond the parameter's length is cut off in the editor too, so what is shown is what is kept.
void EditField::writeMultiLine()
{
    auto* edit = static_cast<QTextEdit*>(m_editor);
    QString text = edit->toPlainText();
    const int maximum = static_cast<ParametrString*>(m_parametr)->storedOption();
    if (maximum > 0 && text.size() > maximum) {
        text.truncate(maximum);
        const QSignalBlocker blocker(edit);
        edit->setPlainText(text);
        edit->moveCursor(QTextCursor::End);
    }
    writeText(text);
}

// A combo box takes the colour in its palette; black gives it the inherited palette back, so a
// cleared mark never leaves a black box.
void EditField::setColor(const QColor& color)
{
    if (!m_editor)
        return;
    const bool clear = color == QColor(Qt::black);
    if (m_editorType == ParametrEnum::TypeId) {
        if (clear) {
            m_editor->setPalette(QPalette());
            return;
        }
        QPalette palette = m_editor->palette();
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::ButtonText})
            palette.setBrush(role, QBrush(color));
        m_editor->setPalette(palette);
        return;
    }
    m_editor->setStyleSheet(clear ? QString()
                                  : QStringLiteral("background-color: rgb(%1, %2, %3);")
                                        .arg(color.red())
                                        .arg(color.green())
                                        .arg(color.blue()));
}

void EditField::setEditorPalette(const QPalette& palette)
{
    if (m_editor)
        m_editor->setPalette(palette);
}
