#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "BoundedWait.h"
#include "ChildLookup.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EditField.h"
#include "GraphWidget.h"
#include "HartMaster.h"
#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"
#include "HartStatusWidget.h"
#include "HartTextTables.h"
#include "IconSet.h"
#include "LinenPlot.h"
#include "MainWindow.h"
#include "MenuArchiveToResults.h"
#include "PanelLegend.h"
#include "ParametrString.h"
#include "PollController.h"
#include "PrField.h"
#include "QueuedSpy.h"
#include "StartSwitches.h"
#include "TabArchive.h"
#include "TabHart.h"
#include "TabHartxAditionalStatus.h"
#include "TabMeasurement.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "XvfbClient.h"
#include "XvfbServer.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <memory>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>

// Every page as an X server shows it in the main window at its default size, over an emulated
// type-90 calibrator with a transmitter behind it: not blank, its key widgets drawn where they
// paint themselves, no caption squeezed, and a picture of it beside the test program.

namespace {

bool shownInside(const QWidget* widget, const QWidget* window)
{
    const QRect area(widget->mapTo(window, QPoint()), widget->size());
    return widget->isVisible() && window->rect().contains(area);
}

// Text is dark on the light button face: both must be there, right of the icon.
bool showsText(const QImage& screen, const QRect& button)
{
    const QRect text = button.adjusted(button.width() / 4, 4, -4, -4);
    int dark = 0;
    int light = 0;
    for (int y = text.top(); y <= text.bottom(); ++y) {
        for (int x = text.left(); x <= text.right(); ++x) {
            const int gray = qGray(screen.pixel(x, y));
            dark += gray < 100;
            light += gray > 180;
        }
    }
    return dark > 20 && light > dark;
}

// Texts of the page's labels that its layout squeezed below their own width.
QStringList cutLabels(const QWidget* page)
{
    QStringList cut;
    for (const QLabel* label : page->findChildren<QLabel*>())
        if (label->isVisible() && !label->wordWrap() && label->width() < label->minimumSizeHint().width())
            cut << label->text();
    return cut;
}

// Saves the picture of the page's window beside the program; empty when it is not blank, each
// named child of the page shows as painted and no caption of the page is squeezed, else what is wrong.
QString shotFault(const QImage& screen, const QWidget* page, const QString& file, const QStringList& painted = {})
{
    const QImage shot = XvfbClient::onScreen(screen, page->window());
    if (!XvfbClient::save(shot, file))
        return QStringLiteral("not saved");
    if (XvfbClient::colourCount(XvfbClient::onScreen(screen, page)) <= 8)
        return QStringLiteral("blank");
    for (const QString& name : painted)
        if (!XvfbClient::showsAsPainted(screen, requireChild<QWidget>(page, qPrintable(name))))
            return name + QStringLiteral(" not painted");
    return cutLabels(page).join(QStringLiteral(" | "));
}

}  // namespace

class TestScreenshots : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceTestBench> m_bench;
    std::unique_ptr<MainWindow> m_window;

    // Turns the tab widgets to the page at the end of a path of page names, each looked up in the
    // one before, and waits for the read that a HART page starts when it comes up.
    QWidget* turnTo(const QStringList& path)
    {
        QWidget* page = m_window.get();
        for (const QString& name : path) {
            page = requireChild<QWidget>(page, qPrintable(name));
            auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
            const bool reads = tabs->currentWidget() != page && name.contains("hart", Qt::CaseInsensitive);
            QueuedSpy finished(&m_bench->device(), &DeviceZFN::sendAlgoritmFinished);
            tabs->setCurrentWidget(page);
            if (reads && !finished.wait())
                qFatal("the read of %s did not end", qPrintable(name));
        }
        return page;
    }

private slots:
    void initTestCase()
    {
        initChoiceLists();
        initHartTextTables();
        loadIcons();
        m_bench = std::make_unique<DeviceTestBench>();
        m_bench->emulator().attachHartTransmitter(HartVariant::Family);
        HartTransmitterState state = m_bench->emulator().hartTransmitter().state();
        state.configChanged = true;
        m_bench->emulator().hartTransmitter().setState(state);
        m_bench->device().hartMaster()->timing().addressRetryMs = 10;
        m_bench->device().hartMaster()->timing().addressSettleMs = 10;
        m_window = std::make_unique<MainWindow>();
        applyStartSwitches(m_window.get(), {"-tunework", "-serviceKey42"});
        m_window->move(0, 0);
        m_window->show();
        QVERIFY(m_bench->connectTo(0, 1, 90));
        QVERIFY(BoundedWait::until(
            [&] { return m_bench->device().portOwner()->isFree() && m_window->menuBar()->isEnabled(); }));
        m_bench->device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_bench.reset();
    }

    // The program itself, started as a user starts it, alone on the screen.
    void mainWindow()
    {
        m_window->hide();
        const auto showAgain = qScopeGuard([this] { m_window->show(); });
        const QString buildDir = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
        QProcess workstation;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZFN_PORTS"), QStringLiteral("COM1=/dev/null;COM3=/dev/null;COM4=/dev/null"));
        workstation.setProcessEnvironment(environment);
        workstation.setWorkingDirectory(buildDir);
        workstation.start(buildDir + QStringLiteral("/arm_zfn"), {QStringLiteral("-tunework")});
        QVERIFY(workstation.waitForStarted(5000));
        QImage screen;
        QRect shown;
        const bool appeared = BoundedWait::until([&] {
            screen = XvfbClient::settledScreen();
            shown = XvfbServer::paintedArea(screen);
            return (shown.width() >= 755 && shown.height() >= 550) || workstation.state() != QProcess::Running;
        }, BoundedWait::jobMs);
        workstation.kill();
        workstation.waitForFinished(5000);
        QVERIFY2(appeared && shown.width() >= 755 && shown.height() >= 550, "the main window never appeared");
        QVERIFY(XvfbClient::save(screen.copy(shown), QStringLiteral("main_window")));
    }

    void plainPages_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QStringList>("painted");
        QTest::newRow("settings_page") << QStringList{"tabDevice"}
                                       << QStringList{"groupBox_deviceParametrs", "groupBox_dataTime",
                                                      "widget_hider_currentPD"};
        QTest::newRow("graduation_emulation")
            << QStringList{"tabGraduation", "tabEmulationGraduation"}
            << QStringList{"label_6", "label_4", "pushButton_setMinCurrentValue", "pushButton_writeShiftValue"};
        QTest::newRow("graduation_measurement") << QStringList{"tabGraduation", "tabMeasurementGraduation"}
                                                << QStringList{"label", "label_3", "label_4", "pushButton_readData"};
        QTest::newRow("graduation_factory") << QStringList{"tabGraduation", "tabFactorySettings"}
                                            << QStringList{"label_factoryNum", "groupBox_factorySettings",
                                                           "pushButton_read"};
        QTest::newRow("hart_parametrs") << QStringList{"tabHart", "tab_hart_paremetrs"}
                                        << QStringList{"groupBox_device_parametrs", "lineEdit_device_mainValMax",
                                                       "comboBox_device_measureV1", "groupBox_sensor",
                                                       "pushButton_setNull"};
        QTest::newRow("hart_specific") << QStringList{"tabHart", "tab_hart_specific"}
                                       << QStringList{"groupBox_outputSingnal", "groupBox_protection",
                                                      "groupBox_trimByTwoPoints", "pushButton_trimByTwoPoints",
                                                      "pushButton_writeParametrs"};
        QTest::newRow("hart_current_output") << QStringList{"tabHart", "tab_hart_currentOutput"}
                                             << QStringList{"groupBox_fixedCurrentMode", "radioButton_another",
                                                            "pushButton_setFixedCurrentMode", "groupBox_trim",
                                                            "pushButton_setFixedLow"};
    }

    void plainPages()
    {
        QFETCH(QStringList, path);
        QFETCH(QStringList, painted);
        QWidget* page = turnTo(path);
        QCOMPARE(shotFault(XvfbClient::settledScreen(), page, QTest::currentDataTag(), painted), QString());
    }

    // The HART page with the status bar's pop-up open over it, its longest row pointed at and whole;
    // the lamp of the changed configuration is lit.
    void hartPage()
    {
        QWidget* page = turnTo({"tabHart", "tab_hart_information"});
        HartStatusWidget* bar = m_window->findChild<TabHart*>()->statusWidget();
        bar->showHartStatusDiskription();
        HartStatusTextDiscription* popUp = bar->popUp();
        const auto closePopUp = qScopeGuard([popUp] { popUp->hide(); });
        QVERIFY(QTest::qWaitForWindowExposed(popUp));
        popUp->selectItem(6);
        QTRY_COMPARE(cutLabels(popUp), QStringList());
        const QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, page, "hart_page",
                           {"label_deviceTypeExpanded", "label_id", "lineEdit_deviceName", "pushButton_updateAdress"}),
                 QString());
        QCOMPARE(popUp->geometry().bottom() + 1, bar->mapToGlobal(QPoint(0, 0)).y());
        QVERIFY(XvfbClient::showsAsPainted(screen, popUp));
        QVERIFY(XvfbClient::showsAsPainted(screen, bar));
        QCOMPARE(QColor(screen.pixel(bar->lamp(1)->mapToGlobal(QPoint(7, 7)))), QColor(Qt::yellow));
        QVERIFY(QColor(screen.pixel(bar->lamp(0)->mapToGlobal(QPoint(7, 7)))) != QColor(Qt::red));
    }

    // The verification settings page with conditions edited: a long organisation name fits, and the
    // page scrolls to the groups below the window's edge.
    void verificationSettingsPage()
    {
        QWidget* page = turnTo({"tabVerification", "tabConfiguration"});
        requireChild<QLineEdit>(page, "lineEdit_verificatorName")->setText("Иванов И.И.");
        const QString organisation = "ФБУ «Государственный региональный центр метрологии»";
        QLineEdit* organisationEdit = nullptr;
        for (PrField* row : page->findChildren<PrField*>())
            if (row->field()->parametr() == g_verificationSettings->prOrganisation)
                organisationEdit = qobject_cast<QLineEdit*>(row->field()->editor());
        QVERIFY(organisationEdit);
        organisationEdit->setText(organisation);

        QCOMPARE(shotFault(XvfbClient::settledScreen(), page, "verification_settings",
                           {"groupBox_verificationCondition", "pushButton_read", "pushButton_apply", "pushButton_repeal"}),
                 QString());
        for (const char* name : {"groupBox_glak", "groupBox_etalon", "groupBox_info"})
            QVERIFY2(requireChild<QWidget>(page, name)->isVisible(), name);
        page->findChild<QScrollArea*>()->ensureWidgetVisible(requireChild<QGroupBox>(page, "groupBox_info"));
        QCOMPARE(shotFault(XvfbClient::settledScreen(), page, "verification_settings_info"), QString());
        QVERIFY(organisationEdit->width() > organisationEdit->fontMetrics().horizontalAdvance(organisation));
    }

    // A running poll draws its curve; the legend panel and the time axis with two-line labels fit.
    void measurementPage()
    {
        m_bench->device().pollController()->pollIntervalMs = 20;
        m_bench->device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 6;
        m_bench->emulator().setValue("1", "0.18");
        m_bench->emulator().setValue("5", "2.4");
        m_bench->emulator().setValueDrift("5", 0.05);
        QWidget* page = turnTo({"tabVerification", "tabMeasurement"});
        QueuedSpy updates(&m_bench->device(), &DeviceZFN::pollUpdateSignal);
        requireChild<QPushButton>(page, "pushButtonStart")->click();
        QVERIFY(BoundedWait::until([&] { return updates.count() >= 30; }, BoundedWait::jobMs));
        requireChild<QPushButton>(page, "pushButtonStop")->click();
        QVERIFY(BoundedWait::until([&] { return m_bench->device().portOwner()->isFree(); }));

        QCOMPARE(shotFault(XvfbClient::settledScreen(), page, "measurement_page"), QString());
        LinenPlot* plot = page->findChild<TabMeasurement*>()->graphWidget()->plot();
        QVERIFY(shownInside(plot->panelLegend(), page));
        const auto panelTexts = plot->panelLegend()->findChildren<QLabel*>();
        QVERIFY(std::any_of(panelTexts.cbegin(), panelTexts.cend(),
                            [&](QLabel* label) { return label->text() == "Тип графика" && shownInside(label, page); }));
        auto* etalon = plot->panelLegend()->findChild<QGroupBox*>();
        QVERIFY(etalon->title() == "Эталон" && shownInside(etalon, page));
        auto* measured = qobject_cast<QwtLegendLabel*>(plot->panelLegend()->legendWidget(plot->itemToInfo(plot->curve(1))));
        QVERIFY(measured && shownInside(measured, page));
        QwtScaleWidget* axis = plot->axisWidget(QwtPlot::xBottom);
        QVERIFY(shownInside(axis, page));
        QVERIFY(axis->height() > 2 * axis->fontMetrics().height() + axis->title().textSize(axis->font()).height());
    }

    // Each button shows its text beside its icon, whole.
    void resultsPage()
    {
        QWidget* page = turnTo({"tabVerification", "tabResults"});
        const QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, page, "results_page"), QString());
        for (const char* name : {"pushButtonToExcel", "pushButtonClearAll", "pushButtonDeleteButton", "pushButtonGroup",
                                 "pushButtonComputeUndef"}) {
            const QRect place(requireChild<QPushButton>(page, name)->mapToGlobal(QPoint(0, 0)),
                              requireChild<QPushButton>(page, name)->size());
            QVERIFY2(screen.rect().contains(place) && place.height() >= 40, name);
            QVERIFY2(showsText(screen, place), name);
        }
    }

    // The archive frames plotted in kPa; then the transfer panel laid over the page, its filters
    // and table shown, and its table still filled, after each filter, in a window wider than its columns.
    void archivePageAndPanel()
    {
        m_bench->device().archiveModel()->replaceRecords(ArchiveTestData::mixedRecords(60));
        QWidget* page = turnTo({"tabArchive"});
        auto* archive = page->findChild<TabArchive*>();
        requireChild<QPushButton>(page, "pushButton_plotGrapf")->click();
        const QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, page, "archive_page",
                           {"pushButton_readArchive", "pushButton_convertToExcel", "pushButton_plotGrapf",
                            "pushButton_moveToResult", "pushButton_clearArchive"}),
                 QString());
        QVERIFY(XvfbClient::showsAsPainted(screen, archive->pressureGraph()));
        QVERIFY(XvfbClient::showsAsPainted(screen, archive->errorGraph()));

        archive->moveToResults();
        auto* panel = archive->findChild<MenuArchiveToResults*>();
        QVERIFY(panel && panel->geometry() == archive->rect());
        QCOMPARE(shotFault(XvfbClient::settledScreen(), panel, "archive_panel",
                           {"label_hartState", "label_deviceSerialNum", "label_allowErrorCode", "pushButton_move"}),
                 QString());

        m_window->resize(1600, 700);
        XvfbClient::settledScreen();
        auto* table = requireChild<QTableView>(panel, "tableView");
        requireChild<QComboBox>(panel, "comboBox_deviceSerialNum")->setCurrentText("45678");
        for (int hart : {1, 2, 0}) {
            requireChild<QComboBox>(panel, "comboBox_hartState")->setCurrentIndex(hart);
            QVERIFY(table->model()->rowCount() > 0);
            QVERIFY2(table->horizontalHeader()->length() >= table->viewport()->width(), qPrintable(QString::number(hart)));
        }
    }

    // The additional-status page, hidden in the window, on its own with some lamps lit.
    void hartAdditionalStatus()
    {
        TabHartxAditionalStatus page;
        HartDeviceData snapshot;
        snapshot.additionalStatus[6] = 0x05;
        snapshot.additionalStatus[8] = 0x09;
        page.showAdditionalStatus(snapshot);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, &page, "hart_additional_status", {"pushButton_updateStatus"}), QString());
        for (const HartStatusElement* lamp : page.lamps())
            QVERIFY(XvfbClient::showsAsPainted(screen, lamp));
        const auto labels = page.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(), [&](QLabel* label) {
            return label->text() == "Выход за диапазон одной из переменных прибора."
                   && XvfbClient::showsAsPainted(screen, label);
        }));
    }
};

int main(int argc, char** argv)
{
    return XvfbClient::main(argc, argv, [](int count, char** arguments) {
        TestScreenshots test;
        return QTest::qExec(&test, count, arguments);
    });
}

#include "test_screenshots.moc"
