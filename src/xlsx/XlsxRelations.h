#pragma once

#include <QString>
#include <QVector>

class XlsxPackage;

// The relationships part of a package part ("xl/_rels/workbook.xml.rels" for "xl/workbook.xml").
class XlsxRelations
{
public:
    struct Relation
    {
        QString id;
        QString type;
        // Resolved to a part name; empty for an external target.
        QString part;
    };

    static QString relsPath(const QString& part);
    static QString resolve(const QString& sourcePart, const QString& target);
    // A part without a relationships part has none. False when that part is broken.
    static bool read(XlsxPackage& package, const QString& part, QVector<Relation>& relations);
    // The first relation whose type ends in "/" + kind, or an empty one.
    static Relation ofKind(const QVector<Relation>& relations, const QString& kind);
    // Removes the relationship with the id; true when it was there.
    static bool remove(XlsxPackage& package, const QString& part, const QString& id);
};
