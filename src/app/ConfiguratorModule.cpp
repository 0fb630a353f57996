#include "ConfiguratorModule.h"

#include "MainWindow.h"

ConfiguratorModule* ConfiguratorModule::instance = nullptr;

ConfiguratorModule::ConfiguratorModule(QObject* parent) : QObject(parent)
{
    instance = this;
}

ConfiguratorModule::~ConfiguratorModule()
{
    if (instance == this)
        instance = nullptr;
}

void ConfiguratorModule::loadLastProject()
{
    MainWindow::loadTabsFromSettings();
}

void ConfiguratorModule::openProject(QWidget*)
{
    MainWindow::loadTabsFromSettings();
}

void ConfiguratorModule::saveProjectAs(QWidget*)
{
    MainWindow::saveTabsToSettings();
}
