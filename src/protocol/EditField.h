#pragma once

#include <QWidget>

class HAbstractParametr;
class QHBoxLayout;

// The one editor that suits a parameter's type. Every edit is written back into the parameter
// (only its edited value when the parameter edits deferred) before changed() reaches anyone else.
class EditField : public QWidget
{
    Q_OBJECT
public:
    explicit EditField(QWidget* parent = nullptr);
    EditField(HAbstractParametr* parametr, QWidget* parent = nullptr);
    ~EditField() override;

    // Refilling keeps the editor built for the same type and emits no changed().
    void buildEditor(HAbstractParametr* parametr);
    void reload();
    // Black takes the colour off again.
    void setColor(const QColor& color);
    void setEditorPalette(const QPalette& palette);
    QWidget* editor() const { return m_editor; }
    HAbstractParametr* parametr() const { return m_parametr; }

signals:
    void changed();

public slots:
    void onEdit();

private:
    template <typename Editor, typename... Args>
    Editor* editorFor(int typeId, Args... args);
    void fillEditor();
    void writeText(const QString& text);
    void writeMultiLine();

    QWidget* m_editor = nullptr;
    HAbstractParametr* m_parametr = nullptr;
    QHBoxLayout* m_layout;
    int m_editorType = -1;
};
