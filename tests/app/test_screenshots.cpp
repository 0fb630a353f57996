#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "ChildLookup.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EditField.h"
#include "GraduationMenu.h"
#include "GraphWidget.h"
#include "HartStatusElement.h"
#include "HartStatusTextDiscription.h"
#include "HartStatusWidget.h"
#include "HartSubPageRig.h"
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
#include "TabMeasurement.h"
#include "TabResults.h"
#include "TabHartxAditionalStatus.h"
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
#include <QScrollArea>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>

// Every page as an X server shows it: not blank, its key labels drawn where the widgets paint them,
// and a picture of it beside the test program.

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

int yellowCount(const QImage& image)
{
    int yellow = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            yellow += (image.pixel(x, y) & 0xFFFFFF) == 0xFFFF00;
    return yellow;
}

// Saves the picture of area beside the program; empty when it is not blank (more than `colours`
// colours) and each named child of scope shows as painted, else what is wrong.
QString shotFault(const QImage& screen, const QWidget* area, const QString& file, int colours, const QWidget* scope,
                  const QStringList& painted = {})
{
    const QImage shot = XvfbClient::onScreen(screen, area);
    if (!XvfbClient::save(shot, file))
        return QStringLiteral("not saved");
    if (XvfbClient::colourCount(shot) <= colours)
        return QStringLiteral("blank");
    for (const QString& name : painted)
        if (!XvfbClient::showsAsPainted(screen, requireChild<QWidget>(scope, qPrintable(name))))
            return name + QStringLiteral(" not painted");
    return {};
}

}  // namespace

class TestScreenshots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initChoiceLists();
        initHartTextTables();
        loadIcons();
    }

    // The program itself, started as a user starts it.
    void mainWindow()
    {
        const QString buildDir = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
        const QString program = buildDir + QStringLiteral("/arm_zfn");
        if (!QFileInfo::exists(program))
            QSKIP("arm_zfn is not built");
        QProcess workstation;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZFN_PORTS"), QStringLiteral("COM1=/dev/null;COM3=/dev/null;COM4=/dev/null"));
        workstation.setProcessEnvironment(environment);
        workstation.setWorkingDirectory(buildDir);
        workstation.start(program, {QStringLiteral("-tunework")});
        QVERIFY(workstation.waitForStarted(5000));
        QImage screen;
        QRect window;
        const bool shown = QTest::qWaitFor([&] {
            screen = XvfbClient::settledScreen();
            window = XvfbServer::paintedArea(screen);
            return (window.width() >= 755 && window.height() >= 550) || workstation.state() != QProcess::Running;
        }, 30000);
        workstation.kill();
        workstation.waitForFinished(5000);
        QVERIFY2(shown && !window.isEmpty(), "the main window never appeared");
        QVERIFY(window.width() >= 755 && window.height() >= 550);
        QVERIFY(XvfbClient::save(screen.copy(window), QStringLiteral("main_window")));
    }

    void graduationPages()
    {
        DeviceTestBench bench(0);
        MainWindow window;
        applyStartSwitches(&window, {"-tunework", "-serviceKey42"});
        window.move(0, 0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* mainPages = requireChild<QTabWidget>(&window, "tabDeviceConfig");
        mainPages->setCurrentWidget(requireChild<QWidget>(&window, "tabGraduation"));
        // The HART page has a tab widget of the same name.
        auto* pages = requireChild<QTabWidget>(requireChild<GraduationMenu>(&window, "GraduationMenu"), "tabWidget");

        const QList<QPair<QString, QStringList>> expected{
            {"emulation", {"label_6", "label_4", "pushButton_setMinCurrentValue", "pushButton_writeShiftValue"}},
            {"measurement", {"label", "label_3", "label_4", "pushButton_readData"}},
            {"factory", {"label_factoryNum", "groupBox_factorySettings", "pushButton_read"}}};
        QCOMPARE(pages->count(), expected.size());
        for (int index = 0; index < expected.size(); ++index) {
            pages->setCurrentIndex(index);
            QCOMPARE(shotFault(XvfbClient::settledScreen(), pages->currentWidget(), "graduation_" + expected[index].first,
                               8, pages->currentWidget(), expected[index].second),
                     QString());
        }
    }

    // The settings page after the settings read that a connect to a type-90 calibrator starts; then
    // the verification settings page with one condition edited: the edited field is marked yellow.
    void settingsPages()
    {
        DeviceTestBench bench;
        MainWindow window;
        window.setStartMode(MainWindow::ApplyModes);
        window.move(0, 0);
        window.show();
        QVERIFY(bench.connectTo(0, 1, 90));
        QVERIFY(QTest::qWaitFor([&] { return bench.device().portOwner()->isFree() && window.menuBar()->isEnabled(); },
                                10000));
        auto* pages = requireChild<QTabWidget>(&window, "tabDeviceConfig");
        pages->setCurrentWidget(requireChild<QWidget>(&window, "tabDevice"));
        QCOMPARE(shotFault(XvfbClient::settledScreen(), &window, "settings_page", 20, &window,
                           {"groupBox_deviceParametrs", "groupBox_dataTime", "widget_hider_currentPD"}),
                 QString());

        pages->setCurrentWidget(requireChild<QWidget>(&window, "tabVerification"));
        // Other pages use some of the same names.
        auto* page = requireChild<QWidget>(&window, "tabConfiguration");
        requireChild<QTabWidget>(&window, "tabVerificationTabWidget")->setCurrentWidget(page);
        requireChild<QLineEdit>(page, "lineEdit_verificatorName")->setText("Иванов И.И.");
        const QString organisation = "ФБУ «Государственный региональный центр метрологии»";
        QLineEdit* organisationEdit = nullptr;
        for (PrField* row : page->findChildren<PrField*>())
            if (row->field()->parametr() == g_verificationSettings->prOrganisation)
                organisationEdit = qobject_cast<QLineEdit*>(row->field()->editor());
        QVERIFY(organisationEdit);
        organisationEdit->setText(organisation);

        const QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, &window, "verification_settings", 20, page,
                           {"groupBox_verificationCondition", "pushButton_read", "pushButton_apply", "pushButton_repeal"}),
                 QString());
        QVERIFY2(yellowCount(XvfbClient::onScreen(screen, &window)) > 200, "the edited field is not marked");
        // The page scrolls: these lie partly below the window's edge.
        for (const char* name : {"groupBox_glak", "groupBox_etalon", "groupBox_info"})
            QVERIFY2(requireChild<QWidget>(page, name)->isVisible(), name);

        auto* info = requireChild<QGroupBox>(page, "groupBox_info");
        page->findChild<QScrollArea*>()->ensureWidgetVisible(info);
        QCOMPARE(shotFault(XvfbClient::settledScreen(), &window, "verification_settings_info", 20, page), QString());
        QVERIFY2(cutLabels(page).isEmpty(), qPrintable(cutLabels(page).join(" | ")));
        QVERIFY(organisationEdit->width() > organisationEdit->fontMetrics().horizontalAdvance(organisation));
    }

    // A running poll draws its curve; the legend panel and the time axis with two-line labels fit.
    void measurementPage()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        bench.device().pollController()->pollIntervalMs = 20;
        bench.device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 6;
        bench.emulator().setValue("1", "0.18");
        bench.emulator().setValue("5", "2.4");
        bench.emulator().setValueDrift("5", 0.05);
        TabMeasurement page;
        page.setGeometry(0, 0, 1050, 680);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QueuedSpy updates(&bench.device(), &DeviceZFN::pollUpdateSignal);
        requireChild<QPushButton>(&page, "pushButtonStart")->click();
        QVERIFY(QTest::qWaitFor([&] { return updates.count() >= 30; }, 20000));
        requireChild<QPushButton>(&page, "pushButtonStop")->click();

        QCOMPARE(shotFault(XvfbClient::settledScreen(), &page, "measurement_page", 20, &page), QString());
        LinenPlot* plot = page.graphWidget()->plot();
        QVERIFY(shownInside(plot->panelLegend(), &page));
        const auto panelTexts = plot->panelLegend()->findChildren<QLabel*>();
        QVERIFY(std::any_of(panelTexts.cbegin(), panelTexts.cend(),
                            [&](QLabel* label) { return label->text() == "Тип графика" && shownInside(label, &page); }));
        auto* etalon = plot->panelLegend()->findChild<QGroupBox*>();
        QVERIFY(etalon->title() == "Эталон" && shownInside(etalon, &page));
        auto* measured = qobject_cast<QwtLegendLabel*>(plot->panelLegend()->legendWidget(plot->itemToInfo(plot->curve(1))));
        QVERIFY(measured && shownInside(measured, &page));
        QwtScaleWidget* axis = plot->axisWidget(QwtPlot::xBottom);
        QVERIFY(shownInside(axis, &page));
        QVERIFY(axis->height() > 2 * axis->fontMetrics().height() + axis->title().textSize(axis->font()).height());
        QVERIFY(plot->axisScaleDraw(QwtPlot::xBottom)->label(plot->axisScaleDiv(QwtPlot::xBottom).lowerBound())
                    .text()
                    .contains('\n'));
    }

    // Each button shows its text beside its icon, whole.
    void resultsPage()
    {
        DeviceTestBench bench(0);
        TabResults page;
        page.setGeometry(0, 0, 760, 460);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, &page, "results_page", 16, &page), QString());
        for (const char* name : {"pushButtonToExcel", "pushButtonClearAll", "pushButtonDeleteButton", "pushButtonGroup",
                                 "pushButtonComputeUndef"}) {
            const auto* button = requireChild<QPushButton>(&page, name);
            const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
            QVERIFY2(screen.rect().contains(place) && place.height() >= 40, name);
            QVERIFY2(showsText(screen, place), name);
        }
    }

    // The HART page with its status bar and the bar's pop-up open over it.
    void hartPage()
    {
        DeviceTestBench bench(0);
        TabHart tab;
        tab.setGeometry(0, 170, 864, 523);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        HartDeviceData identity;
        identity.manufacturerCode = 0x1A;
        identity.deviceTypeCode = 0x01;
        identity.deviceId[2] = 0x2A;
        identity.universalRevision = 7;
        identity.pollingAddressByte = 0x82;
        identity.deviceStatus = 0x81;
        tab.getHartResult(0, identity);
        tab.getHartResult(-1, identity);
        HartStatusWidget* bar = tab.statusWidget();
        bar->setHartDeviceConnectionState(true);
        bar->showHartStatusDiskription();
        HartStatusTextDiscription* popUp = bar->popUp();
        QVERIFY(QTest::qWaitForWindowExposed(popUp));

        const QImage screen = XvfbClient::settledScreen();
        QVERIFY(XvfbClient::save(screen.copy(0, 0, 864, 693), QStringLiteral("hart_page")));
        QVERIFY(XvfbClient::colourCount(XvfbClient::onScreen(screen, &tab)) > 8);
        QCOMPARE(popUp->geometry().bottom() + 1, bar->mapToGlobal(QPoint(0, 0)).y());
        QVERIFY(XvfbClient::showsAsPainted(screen, popUp));
        QVERIFY(XvfbClient::showsAsPainted(screen, bar));
        for (const char* name : {"label_deviceTypeExpanded", "label_id", "lineEdit_deviceName",
                                 "pushButton_updateAdress", "label_hartStatus"})
            QVERIFY2(XvfbClient::showsAsPainted(screen, requireChild<QWidget>(&tab, name)), name);
        QCOMPARE(QColor(screen.pixel(bar->lamp(0)->mapToGlobal(QPoint(7, 7)))), QColor(Qt::red));
        QVERIFY(QColor(screen.pixel(bar->lamp(1)->mapToGlobal(QPoint(7, 7)))) != QColor(Qt::yellow));
    }

    void hartSubPages_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("parameters") << 1 << "hart_parametrs"
                                    << QStringList{"groupBox_device_parametrs", "lineEdit_device_mainValMax",
                                                   "comboBox_device_measureV1", "groupBox_sensor", "pushButton_setNull"};
        QTest::newRow("specific") << 2 << "hart_specific"
                                  << QStringList{"groupBox_outputSingnal", "groupBox_protection", "groupBox_trimByTwoPoints",
                                                 "pushButton_trimByTwoPoints", "pushButton_writeParametrs"};
        QTest::newRow("current output") << 3 << "hart_current_output"
                                        << QStringList{"groupBox_fixedCurrentMode", "radioButton_another",
                                                       "pushButton_setFixedCurrentMode", "groupBox_trim",
                                                       "pushButton_setFixedLow"};
    }

    // Each HART sub-page in the main window after its read from the emulated transmitter.
    void hartSubPages()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(QStringList, shown);
        HartSubPageRig rig;
        rig.window->move(0, 0);
        rig.showSubPage(index);
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QCOMPARE(shotFault(XvfbClient::settledScreen(), rig.scope, name, 16, rig.scope, shown), QString());
        QVERIFY2(cutLabels(rig.scope).isEmpty(), qPrintable(cutLabels(rig.scope).join(" | ")));
    }

    // The hidden additional-status page on its own, some lamps lit.
    void hartAdditionalStatus()
    {
        DeviceTestBench bench(0);
        TabHartxAditionalStatus page;
        page.setGeometry(0, 0, 700, 420);
        HartDeviceData snapshot;
        snapshot.additionalStatus[6] = 0x05;
        snapshot.additionalStatus[8] = 0x09;
        page.showAdditionalStatus(snapshot);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, &page, "hart_additional_status", 8, &page, {"pushButton_updateStatus"}), QString());
        for (const HartStatusElement* lamp : page.lamps())
            QVERIFY(XvfbClient::showsAsPainted(screen, lamp));
        const auto labels = page.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(), [&](QLabel* label) {
            return label->text() == "Выход за диапазон одной из переменных прибора."
                   && XvfbClient::showsAsPainted(screen, label);
        }));
    }

    // The archive frames plotted in kPa; then the transfer panel laid over the page, its filters
    // and table shown.
    void archivePageAndPanel()
    {
        DeviceTestBench bench(0);
        bench.device().archiveModel()->replaceRecords(ArchiveTestData::mixedRecords(60));
        TabArchive page;
        page.setGeometry(0, 0, 1000, 700);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        requireChild<QPushButton>(&page, "pushButton_plotGrapf")->click();
        QImage screen = XvfbClient::settledScreen();
        QCOMPARE(shotFault(screen, &page, "archive_page", 20, &page,
                           {"pushButton_readArchive", "pushButton_convertToExcel", "pushButton_plotGrapf",
                            "pushButton_moveToResult", "pushButton_clearArchive"}),
                 QString());
        QVERIFY(XvfbClient::showsAsPainted(screen, page.pressureGraph()));
        QVERIFY(XvfbClient::showsAsPainted(screen, page.errorGraph()));

        page.moveToResults();
        auto* panel = page.findChild<MenuArchiveToResults*>();
        QVERIFY(panel && panel->geometry() == page.rect());
        QCOMPARE(shotFault(XvfbClient::settledScreen(), &page, "archive_panel", 20, panel,
                           {"label_hartState", "label_deviceSerialNum", "label_allowErrorCode", "pushButton_move"}),
                 QString());

        // Wider than its columns (a maximised window), the table stays filled after each filter.
        page.resize(1600, 700);
        XvfbClient::settledScreen();
        auto* table = requireChild<QTableView>(panel, "tableView");
        requireChild<QComboBox>(panel, "comboBox_deviceSerialNum")->setCurrentText("45678");
        for (int hart : {1, 2, 0}) {
            requireChild<QComboBox>(panel, "comboBox_hartState")->setCurrentIndex(hart);
            QVERIFY(table->model()->rowCount() > 0);
            QVERIFY2(table->horizontalHeader()->length() >= table->viewport()->width(), qPrintable(QString::number(hart)));
        }
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
