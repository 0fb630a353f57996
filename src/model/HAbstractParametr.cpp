#include "HAbstractParametr.h"

HAbstractParametr::HAbstractParametr(int typeId, const QString& caption, quint8 flags)
    : m_typeId(typeId), m_flags(flags), m_caption(&caption)
{
    if (testFlag(OwnCaption)) {
        m_ownCaption = std::make_unique<QString>(caption);
        m_caption = m_ownCaption.get();
    }
}

HAbstractParametr::~HAbstractParametr() = default;

QString HAbstractParametr::valueText() const
{
    return QString();
}

QString HAbstractParametr::caption() const
{
    return *m_caption;
}

void HAbstractParametr::applyEdited()
{
}

void HAbstractParametr::revertEdited()
{
}

void HAbstractParametr::setToolTipText(const QString& text)
{
    if (m_toolTip)
        *m_toolTip = text;
    else
        m_toolTip = std::make_unique<QString>(text);
}

QString HAbstractParametr::toolTipText() const
{
    return m_toolTip ? *m_toolTip : QString();
}
