#include "ConfiguratorModule.h"

#include "MainWindow.h"

ConfiguratorModule::ConfiguratorModule(QObject* parent) : QObject(parent) {}

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
