#pragma once

#include <QGroupBox>

// A group box whose width can follow a number of characters of its font.
class HGroupBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit HGroupBox(QWidget* parent = nullptr);
    ~HGroupBox() override;

    // -1 leaves the width free.
    void setWidthInChars(int characters);
    void setMinimumFixedWidth(int width) { m_minimumWidth = width; }

public slots:
    void updateFixedSize();

private:
    int m_widthInChars = -1;
    int m_minimumWidth = 0;
};
