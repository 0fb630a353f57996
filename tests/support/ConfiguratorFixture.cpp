#include "ConfiguratorFixture.h"


#include <QDir>
#include <QFile>
#include <QtTest>

ConfiguratorFixture::ConfiguratorFixture(int emulatorCount) : bench(emulatorCount)
{
    QStringList missingPorts;
    for (int i = emulatorCount + 1; i <= 3; ++i)
        missingPorts << QStringLiteral("COM%1=/nonexistent/%1").arg(i);
    bench.publishPorts(missingPorts);
    window = std::make_unique<MainWindow>();
    window->setStartMode(MainWindow::ApplyModes);
    FileChooser::setSink([this](const FileChooser::Request& request) {
        m_requests.append(request);
        return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    });
}

ConfiguratorFixture::~ConfiguratorFixture()
{
    FileChooser::setSink(nullptr);
    window.reset();
}

void ConfiguratorFixture::trigger(const char* actionName)
{
    requireChild<QAction>(window.get(), actionName)->trigger();
}

void ConfiguratorFixture::show()
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qFatal("the window was not shown");
}

QString ConfiguratorFixture::settingsFolder()
{
    return QDir::homePath() + QStringLiteral("/Documents/АРМ ЗФН");
}

QByteArray ConfiguratorFixture::readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ConfiguratorFixture::writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
