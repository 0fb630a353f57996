#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class MultiSortFilterProxyModel;
class Ui_MenuArchiveToResults;

// The panel laid over the archive page in which the operator filters the loaded frames by the
// sensor's serial number, the HART flag and the error code, and moves all shown frames or the
// selected ones into the results. It deletes itself when closed.
class MenuArchiveToResults : public QWidget
{
    Q_OBJECT
public:
    explicit MenuArchiveToResults(QWidget* parent = nullptr);
    ~MenuArchiveToResults() override;

signals:
    void movedToResults();
    void hideSignal();
    void closeSignal();

public slots:
    void moveToResults();
    void moveToResultsSelected();
    void updateFilters();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setupTable();
    void fillSerialFilter();
    // Proxy rows of the selection, each once, in the order the table shows them.
    QList<int> selectedRows() const;
    // Asks what the move would lose and refuses what the results cannot hold.
    bool acceptMove(int frameCount) const;
    void finishMove();

    Ui_MenuArchiveToResults* ui;
};

// The proxy of the panel last built; it goes with its panel.
extern QPointer<MultiSortFilterProxyModel> archiveFilterProxy;
