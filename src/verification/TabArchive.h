#pragma once

#include <QWidget>

// The archive page: the calibrator's stored measurement frames.
class TabArchive : public QWidget
{
    Q_OBJECT
public:
    explicit TabArchive(QWidget* parent = nullptr);
};
