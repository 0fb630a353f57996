#pragma once

#include <QWidget>

class QProgressBar;
class QPushButton;
class QTableView;

// The archive page: the calibrator's stored measurement frames.
class TabArchive : public QWidget
{
    Q_OBJECT
public:
    explicit TabArchive(QWidget* parent = nullptr);

public slots:
    void startReadArchiveButton();
    void stopReadArchive();
    void startClearArchive();
    void stopClearArchive();
    void archiveReadStoped();
    void archiveClearStoped();

private:
    QPushButton* makeButton(const QString& objectName, const QString& text, const QIcon& icon);
    void showRunning(QPushButton* stopButton, bool running);

    QPushButton* m_read;
    QPushButton* m_stopRead;
    QPushButton* m_clear;
    QPushButton* m_stopClear;
    QProgressBar* m_progress;
    QTableView* m_table;
};
