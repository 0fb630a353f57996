#pragma once

#include <QHeaderView>

// A vertical header of a fixed height of 50 pixels.
class HHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit HHeaderView(QWidget* parent = nullptr);
    ~HHeaderView() override;

    QSize sizeHint() const override;
};
