#pragma once

#include <QWidget>

class QAction;
class QComboBox;
class QDoubleSpinBox;
class QPushButton;
class QTableView;

// The measurement page: polling and the collection of verification points.
class TabMeasurement : public QWidget
{
    Q_OBJECT
public:
    explicit TabMeasurement(QWidget* parent = nullptr);

public slots:
    void startPoll();
    void stopPoll();
    void setPollMode(int index);
    void setControlsPolling(bool enabled);
    void pollModeChanged(int index);
    void onFixedValueChanged(double value);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPushButton* makeButton(const QString& objectName, const QString& text, const QIcon& icon, QSize minimum);
    void setActionsVisible(bool visible);

    QPushButton* m_start;
    QPushButton* m_stop;
    QPushButton* m_addPoint;
    QPushButton* m_addGroup;
    QComboBox* m_measureType;
    QWidget* m_fixedValueBox;
    QDoubleSpinBox* m_fixedValue;
    QTableView* m_table;
    QAction* m_addPointAction;
    QAction* m_addGroupAction;
};
