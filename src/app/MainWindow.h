#pragma once

#include <QList>
#include <QMainWindow>

// The workstation's main window.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    void setStartMode(int mode);
    const QList<int>& startModes() const { return m_startModes; }

private:
    QList<int> m_startModes;
};
