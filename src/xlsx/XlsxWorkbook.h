#pragma once

#include "XlsxFont.h"
#include "XlsxPackage.h"
#include "XlsxRelations.h"
#include "XlsxSharedStrings.h"
#include "XlsxStyles.h"

#include <QStringList>
#include <pugixml.hpp>
#include <memory>
#include <vector>

class XlsxWorksheet;

// A workbook over its package: the sheet list of the workbook part, shared strings and styles read
// once, worksheets parsed when first asked for. Failures return false with a reason to log.
class XlsxWorkbook
{
public:
    XlsxWorkbook();
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    // A new workbook of one empty sheet with this name; refused for an invalid name.
    bool createNew(const QString& sheetName);
    bool openFile(const QString& path, const XlsxLimits& limits = XlsxLimits());
    bool openBytes(const QByteArray& bytes, const XlsxLimits& limits = XlsxLimits());
    QString errorString() const { return m_error; }
    void setError(const QString& reason) { m_error = reason; }

    XlsxPackage& package() { return m_package; }
    const XlsxSharedStrings& sharedStrings() const { return m_strings; }
    XlsxFont styleFont(int styleIndex) const { return m_styles.font(styleIndex); }
    // The cell style index for cells to carry (see XlsxStyles::add); -1, with the error text, when
    // the workbook's styles cannot take it.
    int addCellStyle(const XlsxCellStyle& style);

    int sheetCount() const { return int(m_sheets.size()); }
    QStringList sheetNames() const;
    // Null, with the error text, when the sheet's part is broken.
    XlsxWorksheet* worksheet(int index);

    // 1 to 31 characters, none of []:*?/\, no apostrophe at either end.
    static bool isValidSheetName(const QString& name);
    // A valid name made from any text: forbidden characters and end apostrophes become "_", the
    // rest is cut to 31 characters.
    static QString sheetNameFrom(const QString& text);
    // Refused, keeping the old name, for an invalid name or one another sheet has (ignoring case).
    bool renameSheet(int index, const QString& name);
    // Refused for the only sheet.
    bool deleteSheet(int index);
    // The sheet the saved workbook opens on; the only one marked selected.
    bool setActiveSheet(int index);

    QByteArray saveToBytes();
    bool save(const QString& path);

    // Defined names that refer to the sheet in the part follow its rows down.
    void shiftDefinedNames(const QString& sheetPart, int row, int count);

private:
    struct Sheet
    {
        QString name;
        QString part;
        QString relationId;
        std::unique_ptr<XlsxWorksheet> worksheet;
    };

    bool fail(const QString& reason);
    bool load();
    bool loadContentTypes();
    bool loadSheetList();
    bool loadSharedParts();
    // A part the workbook may lack gives a null root; a broken one fails.
    bool optionalPartRoot(const QVector<XlsxRelations::Relation>& relations, const QString& kind, pugi::xml_node& root);
    pugi::xml_node workbookRoot();
    pugi::xml_node sheetNode(int index);
    bool renameInFormulas(const QString& oldName, const QString& newName);
    void removeUnreachedParts(const QString& sheetPart);
    void removeContentType(const QString& part);
    void dropLocalNames(int index);
    void keepViewsInRange(int removedIndex);
    void removeCalcChain();

    XlsxPackage m_package;
    QString m_workbookPart;
    QString m_stylesPart;
    std::vector<Sheet> m_sheets;
    XlsxSharedStrings m_strings;
    XlsxStyles m_styles;
    QString m_error;
};
