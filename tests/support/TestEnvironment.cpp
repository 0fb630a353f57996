#include "TestEnvironment.h"

#include "TextDiscription.h"

#include <QGuiApplication>
#include <QStandardPaths>
#include <QTextCodec>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir>& home()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

// Qt's offscreen platform never frees its screen; a global reference keeps LeakSanitizer quiet about it.
QScreen* offscreenScreen = nullptr;
}  // namespace

void TestEnvironment::prepare()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    if (!home()) {
        home() = std::make_unique<QTemporaryDir>();
        qputenv("HOME", home()->path().toUtf8());
    }
    QStandardPaths::setTestModeEnabled(true);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

void TestEnvironment::prepareWithChoiceLists()
{
    prepare();
    offscreenScreen = QGuiApplication::primaryScreen();
    initChoiceLists();
}

QString TestEnvironment::homePath()
{
    return home() ? home()->path() : QString();
}
