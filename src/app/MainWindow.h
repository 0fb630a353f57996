#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

class QAction;
class QLabel;
class GraduationMenu;
class ScreenLocker;
class TabArchive;
class TabConfiguration;
class TabHart;
class TabMeasurement;
class Ui_MainWindow;

// The one top-level window: every tab of the workstation in a fixed page structure, the menus,
// and the busy overlay that covers the window while the device object runs an operation.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    enum StartMode { TuneWork = 0, ServiceKey = 1, ApplyModes = 2 };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void setStartMode(int mode);
    void showResultsTab();
    void showArchiveTab();
    void setProjectName(const QString& name);

public slots:
    // The quit action and a terminate signal, like a close of the window: the exchange under way is
    // cut first, so the program leaves at once even when the window's thread waits in an exchange
    // of its own.
    void quit();
    void block(quint8 kind);
    void unblock();
    void showFullScreenSlot();
    void showEmulationGraduationMenu();
    void showMeasurmentGraduationMenu();
    void loadProject();
    void saveProject();
    void setDeviceType(int type);
    void showStatusMessage(QString text);
    void onInitializationComplete();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Closing the window is a way out too: it may come while the window's thread waits in an exchange.
    void closeEvent(QCloseEvent* event) override;

private:
    void createTabs();
    void connectInterface(TabMeasurement* measurement, TabHart* hart);
    // What the pages and the configuration module ask of the window, all wired here.
    void connectRequests(TabArchive* archive);
    void loadTabsFromSettings();
    void saveTabsToSettings();
    void setActionIcons();
    void applyStartModes();
    void showGraduationPage();
    void setActionsLocked(bool locked);
    QList<QAction*> menuActions() const;
    static void addToPage(QWidget* page, QWidget* tab);

    Ui_MainWindow* ui;
    ScreenLocker* m_locker = nullptr;
    GraduationMenu* m_graduationMenu = nullptr;
    TabConfiguration* m_tabConfiguration = nullptr;
    QLabel* m_statusLabel = nullptr;
    QString m_baseTitle;
    bool m_shownBefore = false;
    bool m_hartRefreshPending = false;
    QList<QPointer<QAction>> m_lockedActions;
};
