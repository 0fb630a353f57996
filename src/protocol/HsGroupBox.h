#pragma once

#include <QFrame>

// A plain frame that groups widgets.
class HsGroupBox : public QFrame
{
    Q_OBJECT
public:
    explicit HsGroupBox(QWidget* parent = nullptr);
    ~HsGroupBox() override;
};
