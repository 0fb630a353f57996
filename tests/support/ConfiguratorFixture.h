#pragma once

#include "ChildLookup.h"
#include "ConfiguratorModule.h"
#include "DeviceTestBench.h"
#include "FileChooser.h"
#include "MainWindow.h"

#include <QAction>
#include <QList>
#include <QStringList>
#include <memory>

// The real window on a device object whose port list holds three ports that lead nowhere, with
// every file dialog answered by the test.
class ConfiguratorFixture
{
public:
    explicit ConfiguratorFixture(int emulatorCount = 0);
    ~ConfiguratorFixture();

    // The next dialogs return these paths in turn; an empty path, or none left, cancels.
    void answer(const QStringList& paths) { m_answers = paths; }
    const QList<FileChooser::Request>& requests() const { return m_requests; }
    void trigger(const char* actionName);
    void show();

    static QString settingsFolder();
    static QByteArray readFile(const QString& path);
    static bool writeFile(const QString& path, const QByteArray& bytes);

    DeviceTestBench bench;
    std::unique_ptr<MainWindow> window;

private:
    QStringList m_answers;
    QList<FileChooser::Request> m_requests;
};
