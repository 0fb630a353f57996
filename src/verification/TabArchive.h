#pragma once

#include <QModelIndex>
#include <QPointer>
#include <QWidget>

class GraphWidget;
class MenuArchiveToResults;
class QComboBox;
class Ui_TabArchive;

// The archive page: reads and clears the calibrator's archive through the device object and
// follows its signals, shows the frames as a sortable table and as pressure and error plots,
// exports the table and opens the panel that moves frames into the results.
class TabArchive : public QWidget
{
    Q_OBJECT
public:
    enum State { Idle, Reading, Clearing };

    explicit TabArchive(QWidget* parent = nullptr);
    ~TabArchive() override;

    GraphWidget* pressureGraph() const { return m_pressureGraph; }
    GraphWidget* errorGraph() const { return m_errorGraph; }
    State state() const { return m_state; }

signals:
    // The panel moved frames into the results, which are to be shown.
    void archiveMovedToResults();

public slots:
    void startReadArchiveButton();
    void stopReadArchive();
    void plotGraphics();
    void startClearArchive();
    void stopClearArchive();
    void saveToExcel();
    void moveToResults();
    void menuMoveToResultsHided();
    void archiveReadStoped();
    void archiveClearStoped();
    void changeArchiveMeasure(int index);
    void updateModel(const QModelIndex& parent, int first, int last);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createCurves(int number);
    void createUnitSelector();
    void showReadProgress();
    void readArchiveFromStart();
    void resumeReadArchive();
    void showClearProgress();
    void showRunning(State state, const QString& progressFormat);
    void showIdle();
    // One stop or finish signal of the device: the controls go idle when no run of that kind is left.
    void runEnded(int& pending, State state);
    void plotFrame(int slot, int row);
    void clearPlots();
    void framesReplaced();
    void forgetSortOrder();
    void readEnded();
    QString proposedExportName() const;

    Ui_TabArchive* ui;
    GraphWidget* m_pressureGraph;
    GraphWidget* m_errorGraph;
    QComboBox* m_unitCombo = nullptr;
    bool m_exportInProgress = false;
    int m_displayUnit = 1;
    State m_state = Idle;
    // Every start of a read or clear ends in exactly one stop or finish signal of the device; a
    // signal of a run stopped from here may come after the next run started, and must not end it.
    int m_pendingReads = 0;
    int m_pendingClears = 0;
};

// One archive-to-results panel at a time, over the archive page.
extern QPointer<MenuArchiveToResults> archiveToResultsMenu;
extern bool archiveToResultsMenuShown;
extern bool archiveToResultsMenuOpening;
