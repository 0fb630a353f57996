#pragma once

#include <QWidget>

class QTableView;

// The results page: the verification points collected from measurements and the archive.
class TabResults : public QWidget
{
    Q_OBJECT
public:
    explicit TabResults(QWidget* parent = nullptr);

private:
    QTableView* m_table;
};
