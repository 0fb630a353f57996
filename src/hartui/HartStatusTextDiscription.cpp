#include "HartStatusTextDiscription.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int PopUpMargin = 5;
constexpr int PopUpFontPixels = 13;
constexpr int BoldWeight = 75;

// In the order of the lamps: bit 0x80 first.
const char* const statusBitTexts[] = {
    QT_TRANSLATE_NOOP("HartStatusTextDiscription", "Серьезная неисправность прибора"),
    QT_TRANSLATE_NOOP("HartStatusTextDiscription", "Конфигурация изменена"),
    QT_TRANSLATE_NOOP("HartStatusTextDiscription", "Пропадало питание"),
    QT_TRANSLATE_NOOP("HartStatusTextDiscription", "Доступен дополнительный статус"),
    QT_TRANSLATE_NOOP("HartStatusTextDiscription", "Установлен фиксированный ток"),
    QT_TRANSLATE_NOOP("HartStatusTextDiscription", "Токовый выход в насыщении"),
    QT_TRANSLATE_NOOP("HartStatusTextDiscription",
                      "Измеренное значение одной из вторичных переменных вне допустимых пределов"),
    QT_TRANSLATE_NOOP("HartStatusTextDiscription", "Измеренное значение первичной переменной вне допустимых пределов"),
};

QPen linePen(int width)
{
    return QPen(QBrush(Qt::black), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

}  // namespace

HartStatusTextDiscription::HartStatusTextDiscription(QWidget* parent)
    : QWidget(parent, Qt::Popup)
    , m_thinPen(linePen(1))
    , m_thickPen(linePen(2))
    , m_strip(new QWidget(this))
{
    setObjectName(QStringLiteral("hartStatusTextDiscription"));
    setAttribute(Qt::WA_StyledBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    QFont popUpFont = font();
    popUpFont.setPixelSize(PopUpFontPixels);
    setFont(popUpFont);
    m_boldFont = popUpFont;
    m_boldFont.setWeight(BoldWeight);

    m_strip->setObjectName(QStringLiteral("hartStatusStrip"));
    m_strip->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(PopUpMargin, PopUpMargin, PopUpMargin, PopUpMargin);
    layout->setSpacing(0);
    layout->addWidget(m_strip);
    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setContentsMargins(PopUpMargin, PopUpMargin, PopUpMargin, PopUpMargin);
    m_rowsLayout->setSpacing(PopUpMargin);
    layout->addLayout(m_rowsLayout);
    const QFontMetrics boldMetrics(m_boldFont);
    for (const char* text : statusBitTexts) {
        auto* label = new QLabel(tr(text), this);
        // Room for the bold face of the pointed row, so the pop-up never grows or cuts a row.
        label->setMinimumWidth(boldMetrics.horizontalAdvance(label->text()) + boldMetrics.averageCharWidth());
        m_rowsLayout->addWidget(label);
        m_rows.append({label, false});
    }
    connect(this, &HartStatusTextDiscription::mouseMove, this, &HartStatusTextDiscription::selectItem);
}

void HartStatusTextDiscription::setRowHeight(int h)
{
    m_rowHeight = h;
    setRowSize(QSize(8 * h, 8 * h));
}

// The strip is at least as high as the rows beside it, so that every leader line reaches its row
// from the lamp row at the strip's foot; the pop-up takes the size its rows need.
void HartStatusTextDiscription::setRowSize(const QSize& size)
{
    m_strip->setFixedSize(size.width(), std::max(size.height(), m_rowsLayout->minimumSize().height()));
    setFixedSize(layout()->minimumSize());
    buildMask();
}

// The pop-up grabs the pointer, so positions below it are over the lamps of the bar.
void HartStatusTextDiscription::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->pos();
    if (at.y() > height() && at.x() <= m_strip->width() - 1 && at.y() < height() + m_rowHeight)
        emit mouseMove(at.x() / m_rowHeight);
    else if (at.y() < 0)
        close();
}

void HartStatusTextDiscription::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_linesDrawn)
        return;
    m_linesDrawn = true;
    buildMask();
}

void HartStatusTextDiscription::selectItem(int row)
{
    if (row < 0 || row >= m_rows.size() || !isVisible() || m_rows.at(row).selected)
        return;
    for (Row& entry : m_rows) {
        if (entry.selected) {
            entry.selected = false;
            entry.label->setFont(font());
        }
    }
    m_rows[row].selected = true;
    m_rows[row].label->setFont(m_boldFont);
    buildMask();
}

// Each lamp's place at the bottom of the strip is joined to the middle of its row.
void HartStatusTextDiscription::buildMask()
{
    QPixmap lines(m_strip->size());
    lines.fill(Qt::transparent);
    {
        QPainter painter(&lines);
        const int half = m_rows.first().label->height() / 2;
        for (int i = m_rows.size() - 1; i >= 0; --i) {
            const int x = m_rowHeight * i + m_rowHeight / 2 - PopUpMargin;
            const int y = half + m_rows.at(i).label->y() - PopUpMargin;
            painter.setPen(m_rows.at(i).selected ? m_thickPen : m_thinPen);
            painter.drawLine(x, lines.height(), x, y);
            painter.drawLine(x, y, lines.width(), y);
        }
    }
    QPalette stripPalette = m_strip->palette();
    stripPalette.setBrush(QPalette::All, QPalette::Window, QBrush(lines));
    m_strip->setPalette(stripPalette);
}
