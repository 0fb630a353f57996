#include "XlsxRelations.h"

#include "XlsxPackage.h"

#include <QStringList>
#include <pugixml.hpp>

QString XlsxRelations::relsPath(const QString& part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

QString XlsxRelations::resolve(const QString& sourcePart, const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    QStringList segments = sourcePart.split(QLatin1Char('/'));
    segments.removeLast();
    for (const QString& segment : target.split(QLatin1Char('/'))) {
        if (segment == QLatin1String("..")) {
            if (!segments.isEmpty())
                segments.removeLast();
        } else if (segment != QLatin1String(".") && !segment.isEmpty()) {
            segments << segment;
        }
    }
    return segments.join(QLatin1Char('/'));
}

bool XlsxRelations::read(XlsxPackage& package, const QString& part, QVector<Relation>& relations)
{
    relations.clear();
    const QString path = relsPath(part);
    if (!package.contains(path))
        return true;
    pugi::xml_document* doc = package.xml(path);
    if (!doc)
        return false;
    for (pugi::xml_node node : doc->document_element().children("Relationship")) {
        Relation relation;
        relation.id = QString::fromUtf8(node.attribute("Id").value());
        relation.type = QString::fromUtf8(node.attribute("Type").value());
        if (QLatin1String(node.attribute("TargetMode").value()) != QLatin1String("External"))
            relation.part = resolve(part, QString::fromUtf8(node.attribute("Target").value()));
        relations << relation;
    }
    return true;
}

XlsxRelations::Relation XlsxRelations::ofKind(const QVector<Relation>& relations, const QString& kind)
{
    for (const Relation& relation : relations)
        if (relation.type.endsWith(QLatin1Char('/') + kind))
            return relation;
    return Relation();
}

bool XlsxRelations::remove(XlsxPackage& package, const QString& part, const QString& id)
{
    const QString path = relsPath(part);
    pugi::xml_document* doc = package.contains(path) ? package.xml(path) : nullptr;
    if (!doc)
        return false;
    pugi::xml_node node = doc->document_element().find_child_by_attribute("Relationship", "Id", id.toUtf8().constData());
    if (!node)
        return false;
    doc->document_element().remove_child(node);
    package.markChanged(path);
    return true;
}
