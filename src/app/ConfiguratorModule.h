#pragma once

#include <QObject>

class QWidget;

// Program settings and project files. The device object owns the one instance of the process.
class ConfiguratorModule : public QObject
{
    Q_OBJECT
public:
    explicit ConfiguratorModule(QObject* parent = nullptr);

    void loadLastProject();
    void openProject(QWidget* parent);
    void saveProjectAs(QWidget* parent);
};
