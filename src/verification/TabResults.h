#pragma once

#include <QWidget>

// The results page: the verification points collected from measurements and the archive.
class TabResults : public QWidget
{
    Q_OBJECT
public:
    explicit TabResults(QWidget* parent = nullptr);
};
