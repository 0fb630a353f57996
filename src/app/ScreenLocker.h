#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

class QGridLayout;
class QProgressBar;
class QPushButton;

// Where the veil starts in its cancellable-exchange kind, so that the menu bar and the two rows of
// tabs stay uncovered; the main window updates them on each show.
extern int g_lockerOffsetX;
extern int g_lockerOffsetY;

// The translucent busy overlay laid over the main window while the device object runs an operation
// in a worker thread: a veil, a progress bar naming the kind of operation and a cancel button.
class ScreenLocker : public QWidget
{
    Q_OBJECT
public:
    explicit ScreenLocker(QWidget* parent = nullptr);

    void setMode(quint8 newMode);
    void fitToSize(QSize size);

signals:
    void buttonPushed();

public slots:
    void setProgressValue(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void applyLook(const QString& format, int veilAlpha, bool frameCentred, bool cancellable);

    QColor veilColor;
    QPushButton* cancelButton;
    QProgressBar* progressBar;
    quint8 mode = 255;
    QGridLayout* layout;
    bool offsetActive = false;
    QPoint offsetPoint;
};
