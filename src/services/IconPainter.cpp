#include "IconPainter.h"

#include <QDir>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <functional>

namespace {

using Drawing = std::function<void(QPainter&)>;

const QColor green(46, 158, 60);
const QColor red(206, 48, 40);
const QColor blue(40, 110, 200);
const QColor amber(240, 170, 30);
const QColor ink(60, 64, 72);
const QColor paper(250, 250, 246);

QPen strokePen(const QColor& color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void fillPolygon(QPainter& p, const QColor& color, const QPolygonF& shape)
{
    p.setPen(strokePen(color.darker(130), 1.5));
    p.setBrush(color);
    p.drawPolygon(shape);
}

void arrow(QPainter& p, const QColor& color, bool up)
{
    QPolygonF shape({{16, 3}, {29, 16}, {21, 16}, {21, 29}, {11, 29}, {11, 16}, {3, 16}});
    if (!up)
        shape = QTransform(1, 0, 0, -1, 0, 32).map(shape);
    fillPolygon(p, color, shape);
}

void roundBadge(QPainter& p, const QColor& color)
{
    p.setPen(strokePen(color.darker(130), 1.5));
    p.setBrush(color);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(strokePen(Qt::white, 4));
}

void plusBadge(QPainter& p)
{
    roundBadge(p, green);
    p.drawLine(QLineF(16, 9, 16, 23));
    p.drawLine(QLineF(9, 16, 23, 16));
}

void minusBadge(QPainter& p)
{
    roundBadge(p, red);
    p.drawLine(QLineF(9, 16, 23, 16));
}

void lightning(QPainter& p)
{
    fillPolygon(p, amber, QPolygonF({{19, 2}, {7, 18}, {15, 18}, {12, 30}, {25, 12}, {17, 12}}));
}

void play(QPainter& p)
{
    fillPolygon(p, green, QPolygonF({{8, 4}, {28, 16}, {8, 28}}));
}

void stopSquare(QPainter& p)
{
    p.setPen(strokePen(red.darker(130), 1.5));
    p.setBrush(red);
    p.drawRoundedRect(QRectF(6, 6, 20, 20), 3, 3);
}

void power(QPainter& p)
{
    p.setPen(strokePen(red, 3.5));
    p.drawArc(QRectF(5, 6, 22, 22), 60 * 16, -300 * 16);
    p.drawLine(QLineF(16, 3, 16, 16));
}

void exitDoor(QPainter& p)
{
    p.setPen(strokePen(ink, 2.5));
    p.setBrush(paper);
    p.drawRect(QRectF(4, 4, 14, 24));
    p.setPen(strokePen(red, 3));
    p.drawLine(QLineF(12, 16, 28, 16));
    p.drawLine(QLineF(22, 10, 28, 16));
    p.drawLine(QLineF(22, 22, 28, 16));
}

void fullScreen(QPainter& p)
{
    p.setPen(strokePen(blue, 3));
    for (const QTransform& turn : {QTransform(), QTransform(-1, 0, 0, 1, 32, 0), QTransform(1, 0, 0, -1, 0, 32),
                                   QTransform(-1, 0, 0, -1, 32, 32)})
        p.drawPolyline(turn.map(QPolygonF({{4, 12}, {4, 4}, {12, 4}})));
    p.setPen(strokePen(ink, 1.5));
    p.drawRect(QRectF(10, 10, 12, 12));
}

void disconnect(QPainter& p)
{
    p.setPen(strokePen(ink, 3));
    p.drawLine(QLineF(2, 16, 10, 16));
    p.drawLine(QLineF(22, 16, 30, 16));
    p.setBrush(ink);
    p.drawRect(QRectF(9, 11, 3, 10));
    p.drawRect(QRectF(20, 11, 3, 10));
    p.setPen(strokePen(red, 3));
    p.drawLine(QLineF(13, 6, 19, 26));
}

void sheet(QPainter& p)
{
    p.setPen(strokePen(green.darker(140), 1.5));
    p.setBrush(paper);
    p.drawRect(QRectF(4, 4, 24, 24));
    p.setBrush(green);
    p.drawRect(QRectF(4, 4, 24, 6));
    for (const qreal y : {16.0, 22.0})
        p.drawLine(QLineF(4, y, 28, y));
    for (const qreal x : {12.0, 20.0})
        p.drawLine(QLineF(x, 10, x, 28));
}

void folder(QPainter& p)
{
    fillPolygon(p, amber, QPolygonF({{3, 8}, {12, 8}, {15, 11}, {29, 11}, {29, 27}, {3, 27}}));
    fillPolygon(p, amber.lighter(125), QPolygonF({{3, 27}, {8, 15}, {31, 15}, {29, 27}}));
}

void floppy(QPainter& p)
{
    fillPolygon(p, blue, QPolygonF({{4, 4}, {24, 4}, {28, 8}, {28, 28}, {4, 28}}));
    p.setPen(Qt::NoPen);
    p.setBrush(paper);
    p.drawRect(QRectF(8, 4, 14, 8));
    p.drawRect(QRectF(8, 17, 16, 11));
}

void clearList(QPainter& p)
{
    p.setPen(strokePen(ink, 2.5));
    for (const qreal y : {7.0, 13.0, 19.0, 25.0})
        p.drawLine(QLineF(4, y, 18, y));
    p.setPen(strokePen(red, 3));
    p.drawLine(QLineF(19, 15, 29, 25));
    p.drawLine(QLineF(29, 15, 19, 25));
}

void magnifier(QPainter& p)
{
    p.setPen(strokePen(ink, 4));
    p.drawLine(QLineF(20, 20, 28, 28));
    p.setPen(strokePen(ink, 2.5));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QRectF(3, 3, 19, 19));
}

void defaultZoom(QPainter& p)
{
    magnifier(p);
    p.setPen(strokePen(blue, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(8.5, 8.5, 8, 8));
}

void searchDevice(QPainter& p)
{
    p.setPen(strokePen(ink, 1.5));
    p.setBrush(paper);
    p.drawRoundedRect(QRectF(14, 2, 16, 20), 2, 2);
    p.setBrush(green);
    p.drawRect(QRectF(17, 5, 10, 6));
    p.save();
    p.scale(0.75, 0.75);
    p.translate(0, 10);
    magnifier(p);
    p.restore();
}

void checkMark(QPainter& p)
{
    p.setPen(strokePen(green, 5));
    p.drawPolyline(QPolygonF({{5, 17}, {13, 25}, {27, 7}}));
}

void update(QPainter& p)
{
    p.setPen(strokePen(blue, 3.5));
    p.drawArc(QRectF(5, 5, 22, 22), 30 * 16, 270 * 16);
    fillPolygon(p, blue, QPolygonF({{21, 2}, {29, 10}, {20, 12}}));
}

void plot(QPainter& p)
{
    p.setPen(strokePen(ink, 2));
    p.drawPolyline(QPolygonF({{4, 3}, {4, 28}, {29, 28}}));
    p.setPen(strokePen(blue, 2.5));
    p.drawPolyline(QPolygonF({{6, 22}, {11, 14}, {16, 18}, {21, 8}, {28, 11}}));
}

void pencil(QPainter& p)
{
    fillPolygon(p, amber, QPolygonF({{22, 3}, {29, 10}, {12, 27}, {5, 20}}));
    fillPolygon(p, paper, QPolygonF({{5, 20}, {12, 27}, {3, 29}}));
}

const QHash<QString, Drawing>& drawings()
{
    static const QHash<QString, Drawing> table{
        {QStringLiteral("arrow_up_green"), [](QPainter& p) { arrow(p, green, true); }},
        {QStringLiteral("arrow_down_red"), [](QPainter& p) { arrow(p, red, false); }},
        {QStringLiteral("symbol_current"), lightning},
        {QStringLiteral("symbol_start"), play},
        {QStringLiteral("symbol_stop"), stopSquare},
        {QStringLiteral("symbol_turnOff"), power},
        {QStringLiteral("symbol_exit"), exitDoor},
        {QStringLiteral("symbol_fullScreen"), fullScreen},
        {QStringLiteral("symbol_disconnect"), disconnect},
        {QStringLiteral("symbol_convert_excel"), sheet},
        {QStringLiteral("symbol_fileOpen"), folder},
        {QStringLiteral("symbol_fileSave"), floppy},
        {QStringLiteral("symbol_elementAdd"), plusBadge},
        {QStringLiteral("symbol_elementRemove"), minusBadge},
        {QStringLiteral("symbol_clearList"), clearList},
        {QStringLiteral("symbol_defzoom"), defaultZoom},
        {QStringLiteral("symbol_searchDev"), searchDevice},
        {QStringLiteral("symbol_checkDev"), checkMark},
        {QStringLiteral("symbol_update"), update},
        {QStringLiteral("symbol_plot"), plot},
        {QStringLiteral("symbol_elementEdit"), pencil},
    };
    return table;
}

}  // namespace

QImage IconPainter::draw(const QString& name)
{
    QImage picture(pictureSize, pictureSize, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    const auto drawing = drawings().constFind(name);
    if (drawing != drawings().constEnd()) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        (*drawing)(painter);
    }
    return picture;
}

bool IconPainter::writeSet(const QString& folder, const QStringList& names)
{
    if (!QDir().mkpath(folder))
        return false;
    bool written = true;
    for (const QString& name : names)
        written = writePicture(folder + '/' + name + QStringLiteral(".png"), draw(name)) && written;
    return written;
}

// Another instance starting at the same moment may be reading the folder, so no file is ever half-written.
bool IconPainter::writePicture(const QString& path, const QImage& picture)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit();
}
