#pragma once

#include <QWidget>

class HartStatusWidget;

// The HART page: the transmitter's pages and the HART status bar.
class TabHart : public QWidget
{
    Q_OBJECT
public:
    explicit TabHart(QWidget* parent = nullptr);

public slots:
    void updateTab();
    void getHartResult(int command);

private:
    HartStatusWidget* m_statusWidget;
};
