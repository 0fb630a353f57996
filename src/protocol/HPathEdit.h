#pragma once

#include <QWidget>

class HButton;
class ParametrPath;
class QLineEdit;

// A path in a line edit with a button that picks it in a file or folder dialog.
class HPathEdit : public QWidget
{
    Q_OBJECT
public:
    explicit HPathEdit(ParametrPath* parametr, QWidget* parent = nullptr);
    ~HPathEdit() override;

    QLineEdit* lineEdit() const { return m_lineEdit; }
    void setParametr(ParametrPath* parametr) { m_parametr = parametr; }

public slots:
    void onFontChanged();
    void onSelectButtonPressed();

private:
    QLineEdit* m_lineEdit;
    HButton* m_button;
    ParametrPath* m_parametr;
};
