#pragma once

#include <QComboBox>
#include <QList>
#include <QString>
#include <QStringList>

// Empty when a page's list holds exactly these items (and, when codes are given, these item data
// in that order); else the list as it is, for the failure message.
inline QString comboListMismatch(const QComboBox* combo, const QString& name, const QStringList& texts,
                                 const QList<int>& codes)
{
    QStringList heldTexts;
    QList<int> heldCodes;
    for (int i = 0; i < combo->count(); ++i) {
        heldTexts << combo->itemText(i);
        if (!codes.isEmpty())
            heldCodes << combo->itemData(i).toInt();
    }
    if (heldTexts == texts && heldCodes == codes)
        return QString();
    QStringList shown;
    for (int i = 0; i < heldTexts.size(); ++i)
        shown << (heldCodes.isEmpty() ? heldTexts.at(i) : QStringLiteral("%1 (%2)").arg(heldTexts.at(i)).arg(heldCodes.at(i)));
    return QStringLiteral("%1 holds %2").arg(name, shown.join(", "));
}
