#pragma once

#include <QWidget>

class QMutex;
class Ui_LinenPlotControl;

// The tool strip above a plot: automatic scaling, how many of the newest points to show, time or
// index axis, and saving a picture. The zoom and print buttons of the form stay hidden.
class LinenPlotControl : public QWidget
{
    Q_OBJECT
public:
    explicit LinenPlotControl(QWidget* parent = nullptr);
    ~LinenPlotControl() override;

    void setScaleMaxNumberVisible(bool visible);
    void addWidget(QWidget* widget, int row, int column);
    void fitButtonWidths();

signals:
    void clearSelection();
    void zoomIn();
    void zoomOut();
    void save();
    void print();
    void setMode(int mode);
    void setScaleMaxNumber(int number);

public slots:
    void setTimeMode();
    void setIndexMode();
    void clearMaxDisplayNumber();

private:
    void switchMode(int mode);

    Ui_LinenPlotControl* ui;
    QMutex* m_mutex;
};
