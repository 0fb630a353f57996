#include "PrField.h"

#include "EditField.h"
#include "HAbstractParametr.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>

namespace {

constexpr int rowSpacing = 2;
const QString suffixSeparator = QStringLiteral(", ");

void setTightSpacing(QLayout* layout)
{
    layout->setContentsMargins(rowSpacing, rowSpacing, rowSpacing, rowSpacing);
    layout->setSpacing(rowSpacing);
}

}  // namespace

PrField::PrField(HAbstractParametr* parametr, QWidget* parent, int layoutKind) : QWidget(parent)
{
    buildField(parametr, layoutKind);
}

PrField::PrField(HAbstractParametr* parametr, int id, QWidget* parent, int layoutKind) : QWidget(parent), m_id(id)
{
    buildField(parametr, layoutKind);
}

PrField::PrField(const QString& caption, QWidget* parent)
    : QWidget(parent), m_captionLabel(new QLabel(caption, this)), m_grid(new QGridLayout(this)), m_flags(MultiField)
{
    setTightSpacing(m_grid);
    m_grid->addWidget(m_captionLabel, 0, 0);
}

PrField::~PrField() = default;

void PrField::buildField(HAbstractParametr* parametr, int layoutKind)
{
    m_field = new EditField(parametr, this);
    connect(m_field, &EditField::changed, this, &PrField::changed);
    if (layoutKind < CaptionAbove || layoutKind > FieldOnly)
        return;
    QBoxLayout* layout = layoutKind == CaptionAbove ? static_cast<QBoxLayout*>(new QVBoxLayout(this))
                                                    : new QHBoxLayout(this);
    setTightSpacing(layout);
    if (layoutKind != FieldOnly) {
        m_captionLabel = new QLabel(parametr->caption(), this);
        if (layoutKind == CaptionCompact)
            m_captionLabel->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
        layout->addWidget(m_captionLabel);
    }
    layout->addWidget(m_field);
}

void PrField::addField(HAbstractParametr* parametr)
{
    if (!m_grid)
        return;
    auto* field = new EditField(parametr, this);
    connect(field, &EditField::changed, this, &PrField::changed);
    m_fields.append(field);
    m_grid->addWidget(field, 1, m_fields.size() - 1);
    m_grid->addWidget(m_captionLabel, 0, 0, 1, m_fields.size());
}

void PrField::reload()
{
    if (m_field)
        m_field->reload();
    for (EditField* field : qAsConst(m_fields))
        field->reload();
}

void PrField::setCaptionWidth(int width)
{
    if (m_captionLabel)
        m_captionLabel->setFixedWidth(width);
}

void PrField::setFieldHeight(int height)
{
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
}

void PrField::updateCaption(const QString& suffix)
{
    if (!m_captionLabel)
        return;
    QString text = m_captionLabel->text();
    const int previous = text.lastIndexOf(suffixSeparator);
    if (testFlag(CaptionSuffix) && previous >= 0)
        text.truncate(previous);
    setFlag(CaptionSuffix, true);
    m_captionLabel->setText(text + suffixSeparator + suffix);
}

void PrField::setFlag(quint8 bits, bool on)
{
    m_flags = on ? quint8(m_flags | bits) : quint8(m_flags & ~bits);
}
