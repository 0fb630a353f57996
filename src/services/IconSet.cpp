#include "IconSet.h"

#include "IconPainter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <array>
#include <utility>

QIcon g_icon_arrow_up_green;
QIcon g_icon_arrow_down_red;
QIcon g_icon_symbol_current;
QIcon g_icon_symbol_start;
QIcon g_icon_symbol_stop;
QIcon g_icon_symbol_turnOff;
QIcon g_icon_symbol_exit;
QIcon g_icon_symbol_fullScreen;
QIcon g_icon_symbol_disconnect;
QIcon g_icon_symbol_convert_excel;
QIcon g_icon_symbol_fileOpen;
QIcon g_icon_symbol_fileSave;
QIcon g_icon_symbol_elementAdd;
QIcon g_icon_symbol_elementRemove;
QIcon g_icon_symbol_clearList;
QIcon g_icon_symbol_defzoom;
QIcon g_icon_symbol_searchDev;
QIcon g_icon_symbol_checkDev;
QIcon g_icon_symbol_update;
QIcon g_icon_symbol_plot;
QIcon g_icon_symbol_elementEdit;

namespace {

const QString imagesFolderName = QStringLiteral("Images");

using IconSlot = std::pair<const char*, QIcon*>;

const std::array<IconSlot, 21>& iconTable()
{
    static const std::array<IconSlot, 21> table{{
        {"arrow_up_green", &g_icon_arrow_up_green},
        {"arrow_down_red", &g_icon_arrow_down_red},
        {"symbol_current", &g_icon_symbol_current},
        {"symbol_start", &g_icon_symbol_start},
        {"symbol_stop", &g_icon_symbol_stop},
        {"symbol_turnOff", &g_icon_symbol_turnOff},
        {"symbol_exit", &g_icon_symbol_exit},
        {"symbol_fullScreen", &g_icon_symbol_fullScreen},
        {"symbol_disconnect", &g_icon_symbol_disconnect},
        {"symbol_convert_excel", &g_icon_symbol_convert_excel},
        {"symbol_fileOpen", &g_icon_symbol_fileOpen},
        {"symbol_fileSave", &g_icon_symbol_fileSave},
        {"symbol_elementAdd", &g_icon_symbol_elementAdd},
        {"symbol_elementRemove", &g_icon_symbol_elementRemove},
        {"symbol_clearList", &g_icon_symbol_clearList},
        {"symbol_defzoom", &g_icon_symbol_defzoom},
        {"symbol_searchDev", &g_icon_symbol_searchDev},
        {"symbol_checkDev", &g_icon_symbol_checkDev},
        {"symbol_update", &g_icon_symbol_update},
        {"symbol_plot", &g_icon_symbol_plot},
        {"symbol_elementEdit", &g_icon_symbol_elementEdit},
    }};
    return table;
}

QString programImagesFolder()
{
    return QCoreApplication::applicationDirPath() + '/' + imagesFolderName;
}

QString currentImagesFolder()
{
    return QDir::currentPath() + '/' + imagesFolderName;
}

QIcon iconFromFile(const QString& path)
{
    QPixmap picture;
    return picture.load(path) ? QIcon(picture) : QIcon();
}

}  // namespace

QStringList IconSet::names()
{
    QStringList list;
    for (const IconSlot& slot : iconTable())
        list << QString::fromLatin1(slot.first);
    return list;
}

QString IconSet::imagesFolder()
{
    const QString own = programImagesFolder();
    return QFileInfo(own).isDir() ? own : currentImagesFolder();
}

void IconSet::load(const QString& folder)
{
    for (const IconSlot& slot : iconTable())
        *slot.second = iconFromFile(folder + '/' + QString::fromLatin1(slot.first) + QStringLiteral(".png"));
}

void loadIcons()
{
    if (!QFileInfo(programImagesFolder()).isDir() && !QFileInfo(currentImagesFolder()).isDir())
        IconPainter::writeSet(programImagesFolder(), IconSet::names());
    IconSet::load(IconSet::imagesFolder());
}
