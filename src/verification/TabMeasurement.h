#pragma once

#include <QWidget>

class QAction;
class QPushButton;

// The measurement page: polling and the collection of verification points.
class TabMeasurement : public QWidget
{
    Q_OBJECT
public:
    explicit TabMeasurement(QWidget* parent = nullptr);

public slots:
    void setPollMode(int index);
    void setControlsPolling(bool enabled);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setActionsVisible(bool visible);

    QPushButton* m_addPoint;
    QPushButton* m_addGroup;
    QAction* m_addPointAction;
    QAction* m_addGroupAction;
    int m_pollMode = 0;
};
