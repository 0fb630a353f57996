#include "MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(tr("АРМ ЗФН") + ' ' + QStringLiteral(APP_VERSION));
    resize(1024, 700);
}

void MainWindow::setStartMode(int mode)
{
    m_startModes.append(mode);
}
