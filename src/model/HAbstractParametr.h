#pragma once

#include <QString>
#include <memory>

// A typed, captioned parameter. Subclasses keep a committed value and, where editors write in
// deferred mode, an edited value that applyEdited commits and revertEdited discards.
class HAbstractParametr
{
public:
    enum Flag : quint8 {
        DeferredEdit = 0x02,
        OwnCaption = 0x04,
        Reserved08 = 0x08,
        Reserved10 = 0x10,
        TallInput = 0x20,
    };

    // Without OwnCaption the caption string is only referenced and must outlive the parameter.
    HAbstractParametr(int typeId, const QString& caption, quint8 flags);
    virtual ~HAbstractParametr();

    HAbstractParametr(const HAbstractParametr&) = delete;
    HAbstractParametr& operator=(const HAbstractParametr&) = delete;

    virtual QString valueText() const;
    QString caption() const;
    virtual void applyEdited();
    virtual void revertEdited();

    int typeId() const { return m_typeId; }
    quint8 flags() const { return m_flags; }
    void setFlags(quint8 flags) { m_flags = flags; }
    void setFlag(quint8 bits) { m_flags |= bits; }
    void clearFlag(quint8 bits) { m_flags &= quint8(~bits); }
    bool testFlag(quint8 bits) const { return (m_flags & bits) != 0; }
    bool showsCommitted() const { return !testFlag(DeferredEdit); }
    bool hasReserved08() const { return testFlag(Reserved08); }
    bool hasReserved10() const { return testFlag(Reserved10); }

    void setToolTipText(const QString& text);
    QString toolTipText() const;

private:
    int m_typeId;
    quint8 m_flags;
    const QString* m_caption;
    std::unique_ptr<QString> m_ownCaption;
    std::unique_ptr<QString> m_toolTip;
};
