#pragma once

#include <QObject>

class QWidget;

// Program settings and project files. The start-up makes the one instance of the process and hands
// it to the device object, through which the pages reach it.
class ConfiguratorModule : public QObject
{
    Q_OBJECT
public:
    explicit ConfiguratorModule(QObject* parent = nullptr);

    void loadLastProject();
    void openProject(QWidget* parent);
    void saveProjectAs(QWidget* parent);
};
