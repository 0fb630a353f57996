#pragma once

#include <QIcon>
#include <QStringList>

extern QIcon g_icon_arrow_up_green;
extern QIcon g_icon_arrow_down_red;
extern QIcon g_icon_symbol_current;
extern QIcon g_icon_symbol_start;
extern QIcon g_icon_symbol_stop;
extern QIcon g_icon_symbol_turnOff;
extern QIcon g_icon_symbol_exit;
extern QIcon g_icon_symbol_fullScreen;
extern QIcon g_icon_symbol_disconnect;
extern QIcon g_icon_symbol_convert_excel;
extern QIcon g_icon_symbol_fileOpen;
extern QIcon g_icon_symbol_fileSave;
extern QIcon g_icon_symbol_elementAdd;
extern QIcon g_icon_symbol_elementRemove;
extern QIcon g_icon_symbol_clearList;
extern QIcon g_icon_symbol_defzoom;
extern QIcon g_icon_symbol_searchDev;
extern QIcon g_icon_symbol_checkDev;
extern QIcon g_icon_symbol_update;
extern QIcon g_icon_symbol_plot;
extern QIcon g_icon_symbol_elementEdit;

// The process-wide icons every screen takes its pictures from, read once at start-up from the PNG
// files of an "Images" folder. A missing or unreadable file leaves its icon empty, without a message.
class IconSet
{
public:
    // Picture names in load order; the file of each is the name followed by ".png".
    static QStringList names();
    // "Images" beside the program when it exists, else "Images" in the current folder.
    static QString imagesFolder();
    static void load(const QString& folder);
};

// Draws the program's own pictures beside it on the first start, then fills the icon globals.
void loadIcons();
