#pragma once

#include <QList>
#include <QWidget>

class EditField;
class HAbstractParametr;
class QGridLayout;
class QLabel;

// One captioned row of a settings form around the editor of a parameter, or, in the multi-field
// form, one caption above several editors.
class PrField : public QWidget
{
    Q_OBJECT
public:
    enum Flag : quint8 { MultiField = 0x01, CaptionSuffix = 0x02 };
    // 0 caption above the field, 1 beside it, 2 beside it at its own size, 3 no caption.
    enum LayoutKind { CaptionAbove = 0, CaptionBeside = 1, CaptionCompact = 2, FieldOnly = 3 };

    PrField(HAbstractParametr* parametr, QWidget* parent = nullptr, int layoutKind = CaptionBeside);
    PrField(HAbstractParametr* parametr, int id, QWidget* parent = nullptr, int layoutKind = CaptionBeside);
    PrField(const QString& caption, QWidget* parent = nullptr);
    ~PrField() override;

    void addField(HAbstractParametr* parametr);
    void reload();
    void setCaptionWidth(int width);
    void setFieldHeight(int height);
    // The suffix behind ", " is replaced on every call, never stacked.
    void updateCaption(const QString& suffix);

    EditField* field() const { return m_field; }
    const QList<EditField*>& fields() const { return m_fields; }
    QLabel* captionLabel() const { return m_captionLabel; }
    int id() const { return m_id; }
    void setId(int id) { m_id = id; }
    bool testFlag(quint8 bits) const { return (m_flags & bits) != 0; }
    void setFlag(quint8 bits, bool on);

signals:
    void changed();

private:
    void buildField(HAbstractParametr* parametr, int layoutKind);

    EditField* m_field = nullptr;
    QList<EditField*> m_fields;
    QLabel* m_captionLabel = nullptr;
    QGridLayout* m_grid = nullptr;
    int m_id = -1;
    quint8 m_flags = 0;
};
