#include "ScreenLocker.h"

#include "LockKind.h"

#include <QFrame>
#include <QGridLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

int g_lockerOffsetX = 0;
int g_lockerOffsetY = 70;

namespace {
constexpr int searchVeilAlpha = 170;
constexpr int exchangeVeilAlpha = 50;
constexpr int veilShade = 25;
}  // namespace

ScreenLocker::ScreenLocker(QWidget* parent)
    : QWidget(parent),
      veilColor(veilShade, veilShade, veilShade, searchVeilAlpha),
      cancelButton(new QPushButton(tr("Отмена"))),
      layout(new QGridLayout(this))
{
    setObjectName(QStringLiteral("screenLocker"));
    auto* frame = new QFrame;
    frame->setObjectName(QStringLiteral("frame_locker"));
    frame->setMinimumWidth(500);
    progressBar = new QProgressBar(frame);
    progressBar->setObjectName(QStringLiteral("progressBar_locker"));
    progressBar->setRange(0, 100);
    progressBar->setAlignment(Qt::AlignCenter);
    progressBar->setMinimumHeight(35);
    progressBar->setFormat(tr("Поиск устройств... ") + QStringLiteral("%p%"));
    cancelButton->setObjectName(QStringLiteral("pushButton_lockerCancel"));
    cancelButton->setMinimumHeight(50);
    cancelButton->setFocusPolicy(Qt::NoFocus);

    auto* frameLayout = new QGridLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    frameLayout->setSpacing(1);
    frameLayout->addWidget(progressBar, 0, 0, 1, 2);
    frameLayout->addWidget(cancelButton, 1, 0, 1, 2);

    layout->addWidget(frame, 1, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(0, 1);
    layout->setRowStretch(2, 1);

    connect(cancelButton, &QPushButton::clicked, this, &ScreenLocker::buttonPushed);
}

// Values above the bar's maximum show as complete rather than wrapping round to a small value.
void ScreenLocker::setProgressValue(int value)
{
    progressBar->setValue(qBound(progressBar->minimum(), value, progressBar->maximum()));
}

void ScreenLocker::setMode(quint8 newMode)
{
    if (newMode == mode)
        return;
    mode = newMode;
    switch (newMode) {
    case LockKind::Search:
        applyLook(tr("Поиск устройств... "), searchVeilAlpha, true, true);
        offsetActive = false;
        move(0, 0);
        break;
    case LockKind::StoppableExchange:
        applyLook(tr("Идет обмен... "), exchangeVeilAlpha, false, true);
        offsetActive = true;
        offsetPoint = QPoint(g_lockerOffsetX, g_lockerOffsetY);
        move(offsetPoint);
        break;
    case LockKind::Exchange:
        applyLook(tr("Идет обмен... "), exchangeVeilAlpha, false, false);
        offsetActive = false;
        move(0, 0);
        break;
    default:
        break;
    }
}

void ScreenLocker::applyLook(const QString& format, int veilAlpha, bool frameCentred, bool cancellable)
{
    progressBar->setFormat(format + QStringLiteral("%p%"));
    veilColor.setAlpha(veilAlpha);
    layout->setRowStretch(2, frameCentred ? 1 : 0);
    cancelButton->setEnabled(cancellable);
    update();
}

void ScreenLocker::fitToSize(QSize size)
{
    if (offsetActive)
        size.setHeight(size.height() - offsetPoint.y());
    resize(size);
}

void ScreenLocker::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), veilColor);
}

void ScreenLocker::showEvent(QShowEvent* event)
{
    progressBar->setValue(0);
    QWidget::showEvent(event);
}
