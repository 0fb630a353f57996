#include "StartUp.h"

#include "MainWindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QTextCodec>
#include <QTranslator>
#include <cstring>

void StartUp::loadTranslator()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    const QString folder = QCoreApplication::applicationDirPath();
    const QString path = folder + QStringLiteral("/arm_zfn_en.qm");
    if (!QFileInfo::exists(path)) {
        qWarning() << "TRANSLATOR failed - no file";
        return;
    }
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

void StartUp::parseArguments(int argc, char** argv, MainWindow* window)
{
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-tunework") == 0)
            window->setStartMode(0);
        else if (std::strcmp(argv[i], "-serviceKey42") == 0)
            window->setStartMode(1);
    }
    window->setStartMode(2);
}
