#pragma once

#include <QString>

class ExcelSaver;

// What the protocol engine asks of the placeholder handlers: the verification groups, computed once
// a save, and the two cell handlers of the passes over a sheet. Handlers write through the
// engine's cell primitives and return false only when a write failed.
class ProtocolFiller
{
public:
    virtual ~ProtocolFiller() = default;

    virtual void computeGroups(ExcelSaver& saver) = 0;
    virtual bool allGroupsConform() const = 0;
    // The list cursors start again for every sheet that is filled.
    virtual void resetListCursors() = 0;
    virtual bool replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column) = 0;
    virtual bool replaceListPlaceholders(ExcelSaver& saver, const QString& text, int row, int column) = 0;
};
