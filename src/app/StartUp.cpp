#include "StartUp.h"

#include "HartTextTables.h"
#include "MainWindow.h"
#include "TextDiscription.h"
#include "WheelGuard.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTextCodec>
#include <QTranslator>
#include <cstring>

namespace {

// Qt's own dialogs and standard buttons speak the interface's language, whatever the system's is.
void loadQtTranslator()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

}  // namespace

// The workstation paints nothing with OpenGL. Left alone, Qt's X11 plugin loads the GL driver at
// start-up only to find it unused: with a software renderer that is about 50 MB resident and a
// tenth of a second. A value the user set still wins.
void StartUp::prepareEnvironment()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}

void StartUp::initApplication()
{
    loadTranslator();
    QCoreApplication::setOrganizationName(QStringLiteral("kpz"));
    QCoreApplication::setApplicationName(QCoreApplication::translate("QObject", "АРМ ЗФН"));
    initChoiceLists();
    initHartTextTables();
    WheelGuard::install();
}

void StartUp::loadTranslator()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    loadQtTranslator();
    const QString folder = QCoreApplication::applicationDirPath();
    const QString path = folder + QStringLiteral("/arm_zfn_en.qm");
    // No translation ships with the program, so its absence is the usual start and no fault.
    if (!QFileInfo::exists(path))
        return;
    // Owned by the application for the whole run.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("arm_zfn_en"), folder)) {
        qDebug() << "TRANSLATOR NOT LOADED";
        delete translator;
        return;
    }
    qDebug() << "TRANSLATOR LOADED" << path;
    QCoreApplication::installTranslator(translator);
}

QList<int> StartUp::startModes(int argc, char** argv)
{
    QList<int> modes;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-tunework") == 0)
            modes.append(0);
        else if (std::strcmp(argv[i], "-serviceKey42") == 0)
            modes.append(1);
    }
    modes.append(2);
    return modes;
}

void StartUp::parseArguments(int argc, char** argv, MainWindow* window)
{
    for (const int mode : startModes(argc, argv))
        window->setStartMode(mode);
}
