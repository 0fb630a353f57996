#pragma once

#include <QComboBox>
#include <QList>
#include <QString>
#include <QStringList>

// The texts of a list's items, in their order.
inline QStringList comboItemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// The codes the list's items carry as their data, in their order.
inline QList<int> comboItemCodes(const QComboBox* combo)
{
    QList<int> codes;
    for (int i = 0; i < combo->count(); ++i)
        codes << combo->itemData(i).toInt();
    return codes;
}

// Empty when a page's list holds exactly these items (and, when codes are given, these item data
// in that order); else the list as it is, for the failure message.
inline QString comboListMismatch(const QComboBox* combo, const QString& name, const QStringList& texts,
                                 const QList<int>& codes)
{
    const QStringList heldTexts = comboItemTexts(combo);
    const QList<int> heldCodes = codes.isEmpty() ? QList<int>() : comboItemCodes(combo);
    if (heldTexts == texts && heldCodes == codes)
        return QString();
    QStringList shown;
    for (int i = 0; i < heldTexts.size(); ++i)
        shown << (heldCodes.isEmpty() ? heldTexts.at(i) : QStringLiteral("%1 (%2)").arg(heldTexts.at(i)).arg(heldCodes.at(i)));
    return QStringLiteral("%1 holds %2").arg(name, shown.join(", "));
}
