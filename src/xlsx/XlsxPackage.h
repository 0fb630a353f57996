#pragma once

#include "XlsxLimits.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace pugi {
class xml_document;
}

// The parts of an OOXML zip in their zip order. A part is parsed only when someone asks for its
// XML, and serialised again only when marked changed, so untouched parts keep their bytes.
class XlsxPackage
{
public:
    XlsxPackage();
    ~XlsxPackage();
    XlsxPackage(const XlsxPackage&) = delete;
    XlsxPackage& operator=(const XlsxPackage&) = delete;

    bool openBytes(const QByteArray& zipBytes, const XlsxLimits& limits = XlsxLimits());
    // No parts: the start of a package built from nothing.
    void clear();
    // The zip as it would be saved now; empty with an error text when libzip refuses.
    QByteArray toBytes();
    QString errorString() const { return m_error; }

    QStringList partNames() const;
    bool contains(const QString& name) const;
    // Serialises the part first when it was parsed and changed.
    QByteArray partData(const QString& name);
    void setPartData(const QString& name, const QByteArray& data);
    void removePart(const QString& name);

    // Null, with the error text set, when the part is missing or is not well-formed XML.
    pugi::xml_document* xml(const QString& name);
    void markChanged(const QString& name);
    bool anyChanged() const;

private:
    struct Part
    {
        QString name;
        QByteArray data;
        std::unique_ptr<pugi::xml_document> doc;
        bool changed = false;
    };

    Part* find(const QString& name);
    const Part* find(const QString& name) const;
    void serialise(Part& part);
    bool fail(const QString& reason);

    std::vector<Part> m_parts;
    bool m_removedAny = false;
    QString m_error;
};
