#pragma once

#include <QString>
#include <functional>

// Sheet-qualified references inside formula text ("'Sheet 1'!$A$1:$H$40", "Data!B2").
class XlsxFormula
{
public:
    static QString quotedSheetName(const QString& name);
    // References to oldName (compared ignoring case, as sheet names are) get newName.
    static QString renameSheet(const QString& formula, const QString& oldName, const QString& newName);
    static QString shiftRows(const QString& formula, const QString& sheetName, int row, int count, bool extend);

private:
    // Calls edit for every sheet-qualified reference; it may change the sheet name and the reference.
    using Edit = std::function<void(QString& sheet, QString& reference)>;
    static QString rewrite(const QString& formula, const Edit& edit);
};
