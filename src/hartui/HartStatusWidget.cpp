#include "HartStatusWidget.h"

#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"

#include <QHBoxLayout>
#include <QLabel>

HartStatusWidget* g_hartStatusWidget = nullptr;

namespace {

constexpr int BarHeight = 17;
constexpr int BarFontPixels = 13;
constexpr int BarMargin = 1;
constexpr int BarSpacing = 3;
// One lamp and the spacing after it: the pop-up's columns stand over the lamps.
constexpr int PopUpRowHeight = 18;

// Bits 0x80 (device malfunction), 0x04, 0x02 and 0x01 (output and variables out of limits) are
// faults; the others are notices.
const Qt::GlobalColor lampColors[HartStatusWidget::LampCount] = {Qt::red,    Qt::yellow, Qt::yellow, Qt::yellow,
                                                                  Qt::yellow, Qt::red,    Qt::red,    Qt::red};

}  // namespace

HartStatusWidget::HartStatusWidget(QWidget* parent)
    : QWidget(parent)
    , m_caption(new QLabel(tr("Статус "), this))
{
    setObjectName(QStringLiteral("hartStatusWidget"));
    g_hartStatusWidget = this;
    setFixedHeight(BarHeight);
    QFont barFont = font();
    barFont.setPixelSize(BarFontPixels);
    setFont(barFont);
    setMouseTracking(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(BarMargin, BarMargin, BarMargin, BarMargin);
    layout->setSpacing(BarSpacing);
    layout->addWidget(m_caption);

    m_popUp = new HartStatusTextDiscription(this);
    m_popUp->setStyleSheet(styleSheet());
    m_popUp->setRowHeight(PopUpRowHeight);

    for (int id = 0; id < LampCount; ++id) {
        m_lamps[size_t(id)] = new HartStatusElement(this, id, lampColors[id]);
        layout->addWidget(m_lamps[size_t(id)]);
    }
    m_connectionLabel = new QLabel(tr("  нет связи с HART-устройством "), this);
    m_connectionLabel->setObjectName(QStringLiteral("label_hartStatus"));
    layout->addWidget(m_connectionLabel);
}

HartStatusWidget::~HartStatusWidget()
{
    if (g_hartStatusWidget == this)
        g_hartStatusWidget = nullptr;
}

QString HartStatusWidget::statusText() const
{
    return m_connectionLabel->text();
}

void HartStatusWidget::showDeviceStatus(quint8 status)
{
    for (int i = 0; i < LampCount; ++i)
        m_lamps[size_t(i)]->setState(status & (0x80 >> i));
}

void HartStatusWidget::showHartStatusDiskription()
{
    if (m_popUp->isVisible())
        return;
    const QPoint corner = mapToGlobal(QPoint(0, 0));
    m_popUp->move(corner.x() + m_caption->width() + BarSpacing, corner.y() - m_popUp->height());
    m_popUp->show();
}

void HartStatusWidget::setHartDeviceConnectionState(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    m_connectionLabel->setText(connected ? tr("  HART-устройство на связи ") : tr("  нет связи с HART-устройством "));
}

void HartStatusWidget::mousePressEvent(QMouseEvent*)
{
    showHartStatusDiskription();
}

void HartStatusWidget::mouseMoveEvent(QMouseEvent*)
{
    showHartStatusDiskription();
}
