#include "BoundedWait.h"
#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "ChildLookup.h"
#include "ComboListCheck.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "EditField.h"
#include "HidHandler.h"
#include "ModelTemplates.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrString.h"
#include "PrField.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "SerialNumberEditor.h"
#include "TabConfiguration.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>

namespace {

const QString glakMissingText = QStringLiteral("Ошибка считывания: ГЛАК 7 М не найден!");

using Column = TabConfiguration::Column;

bool marked(const QWidget* widget)
{
    return widget->palette().color(QPalette::Base) == QColor(Qt::yellow);
}

// The page on a device object with a known record, its templates in a folder of its own
// and its thermohygrometer played by the stand-in library.
struct SettingsPage
{
    DeviceTestBench bench;
    HidHandler reader;
    QTemporaryDir templates;
    std::unique_ptr<TabConfiguration> tab;

    SettingsPage()
    {
        reader.setLibraryFolder(ZFN_VORNA_FOLDER);
        record().verificatorName = "Сидоров";
        record().atmPressureUnits = "кПа";
        tab = std::make_unique<TabConfiguration>();
        for (const char* name : {"protocol_a.xlsx", "protocol_b.xlsx", "other.xlsx"})
            QFile(templates.filePath(name)).open(QIODevice::WriteOnly);
        g_modelTemplates->setFolder(templates.path());
        g_modelTemplates->loadFolder();
        tab->loadSettings();
    }

    static VerificationSettings& record() { return *g_verificationSettings; }
    ChannelRecord sensor()
    {
        QMutexLocker lock(bench.device().mutex());
        return *bench.device().currentChannel();
    }
    template <typename T>
    T* find(const char* name) const
    {
        return requireChild<T>(tab.get(), name);
    }
    QLineEdit* line(const char* name) const { return find<QLineEdit>(name); }
    QStandardItemModel* table() const
    {
        return static_cast<QStandardItemModel*>(find<QTableView>("tableView")->model());
    }
    QString cell(int column) const { return table()->index(0, column).data(Qt::EditRole).toString(); }
    void edit(int column, const QVariant& value) { table()->setData(table()->index(0, column), value); }
    bool cellMarked(int column) const
    {
        return table()->item(0, column)->background().color() == QColor(Qt::yellow)
               && table()->item(0, column)->background().style() == Qt::SolidPattern;
    }
    QWidget* editorOf(const HAbstractParametr* parametr) const
    {
        for (PrField* row : tab->findChildren<PrField*>())
            if (row->field()->parametr() == parametr)
                return row->field()->editor();
        qFatal("no field for the parameter");
    }
    bool unsavedShown() const { return !find<QLabel>("label_info_dataChanged")->isHidden(); }
    void click(const char* button) { find<QPushButton>(button)->click(); }
    bool readCalibrator()
    {
        QueuedSpy finished(&bench.device(), &DeviceZFN::algoritmFinished);
        click("pushButton_read");
        return BoundedWait::until([&] { return !finished.isEmpty() && bench.device().portOwner()->isFree(); });
    }
};

// The stand-in library reads its answer from the environment at every call.
void answer(const char* result, const char* values = "21.4,45.5,748.6")
{
    if (result)
        qputenv("ZFN_VORNA_RESULT", result);
    else
        qunsetenv("ZFN_VORNA_RESULT");
    qputenv("ZFN_VORNA_VALUES", values);
}

QStringList logLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// A list of the page: its items (with the codes they carry, when they carry any) and what the
// record holds for the choice after an apply, as the position of that choice in the list.
struct PageList
{
    QComboBox* combo;
    QStringList texts;
    QList<int> codes;
    std::function<int()> stored;
};

}  // namespace

class TestVerificationTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        QVERIFY(m_logFolder.isValid());
        qputenv("ZFN_VORNA_LOG", logPath().toLocal8Bit());
        // A library of the same name in the current folder is never taken in place of the program's.
        QVERIFY(QDir::setCurrent(ZFN_VORNA_FOLDER));
    }
    void init() { QFile::remove(logPath()); }

    void failuresKeepTheLastReading_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<bool>("called");
        const QString library(ZFN_VORNA_FOLDER);
        QTest::newRow("zero result") << library << "77" << QByteArray("0") << QByteArray("1,2,3") << true;
        QTest::newRow("unconfigured") << library << "77" << QByteArray() << QByteArray("1,2,3") << true;
        QTest::newRow("NaN value") << library << "77" << QByteArray("1") << QByteArray("1,nan,3") << true;
        QTest::newRow("infinite value") << library << "77" << QByteArray("1") << QByteArray("1,2,inf") << true;
        QTest::newRow("none by the program") << QString() << "77" << QByteArray("1") << QByteArray("1,2,3") << false;
        QTest::newRow("no function") << QString(ZFN_VORNA_WITHOUT_READ_FOLDER) << "77" << QByteArray("1")
                                     << QByteArray("1,2,3") << false;
        QTest::newRow("nine characters") << library << "123456789" << QByteArray("1") << QByteArray("1,2,3") << false;
        QTest::newRow("not ASCII") << library << "12№4" << QByteArray("1") << QByteArray("1,2,3") << false;
        QTest::newRow("control character") << library << "12\n4" << QByteArray("1") << QByteArray("1,2,3") << false;
    }

    void failuresKeepTheLastReading()
    {
        QFETCH(QString, folder);
        QFETCH(QString, serial);
        QFETCH(QByteArray, result);
        QFETCH(QByteArray, values);
        QFETCH(bool, called);
        HidHandler reader;
        QVERIFY(std::isnan(reader.values()[0]) && std::isnan(reader.values()[2]));
        reader.setLibraryFolder(ZFN_VORNA_FOLDER);
        answer("1", "20.5,40,750");
        QVERIFY(reader.read("123"));
        QCOMPARE(logLines(logPath()), QStringList({"00000123|82|0|12|1"}));
        QFile::remove(logPath());

        reader.setLibraryFolder(folder);
        answer(result.isNull() ? nullptr : result.constData(), values.constData());
        QVERIFY(!reader.read(serial));
        QCOMPARE(QList<float>({reader.values()[0], reader.values()[1], reader.values()[2]}),
                 QList<float>({20.5f, 40.0f, 750.0f}));
        QCOMPARE(logLines(logPath()).size(), called ? 1 : 0);
    }

    // Edits are marked until applied or cancelled; an apply stores the form and the sensor row and
    // keeps what the project held that the form only shows, a cancel brings back what was applied.
    void editApplyAndCancel()
    {
        SettingsPage page;
        page.record().etalonIdString = "0012345";
        page.record().txtProtocolName = "удалён.xlsx";
        page.tab->loadSettings();
        QCOMPARE(page.record().txtProtocolName, g_modelTemplates->index(0, 0).data().toString());
        QSignalSpy modes(page.tab.get(), &TabConfiguration::changeMeasureType);
        QLineEdit* name = page.line("lineEdit_verificatorName");
        auto* number = qobject_cast<QLineEdit*>(page.editorOf(page.record().prProtocolNumber));
        auto* pointSpin = page.find<QDoubleSpinBox>("doubleSpinBox_infoPointNum");
        name->setText("Иванов");
        number->setText("17");
        pointSpin->setValue(0.5);
        qobject_cast<QDoubleSpinBox*>(page.editorOf(page.record().prAnalysisCoeffAccuracy))->setValue(0.5);
        page.edit(Column::ModelColumn, "АИР-30");
        page.edit(Column::UpperColumn, "2,5");
        page.edit(Column::UnitColumn, "кПа");
        page.edit(Column::OutputColumn, "4 - 20 мА");
        page.edit(Column::CharacteristicColumn, "квадратичная");
        page.tab->setDeviceSerialNumber(7);
        auto* classes = page.find<QComboBox>("comboBox_accuracyClass");
        const QList<QPair<QString, double>> deltas{{"a0", 0.1}, {"A0", 0.02}, {"A", 0.03}, {"C", 0.1}, {"B", 0.05}};
        for (const auto& pair : deltas) {
            classes->setEditText(pair.first);
            QCOMPARE(page.find<QDoubleSpinBox>("doubleSpinBox_etalonDelta")->value(), pair.second);
        }
        // A part of some names narrows the template list, a whole name or none of them shows it all.
        auto* templates = page.find<QComboBox>("comboBox_template");
        for (const auto& filter : QList<QPair<QString, int>>{{"protocol", 2}, {"zzz", 3}, {"other.xlsx", 3}}) {
            templates->lineEdit()->setText(filter.first);
            QCOMPARE(templates->model()->rowCount(), filter.second);
        }
        QVERIFY(marked(name) && marked(pointSpin->findChild<QLineEdit*>()));
        QCOMPARE(number->styleSheet(), QString("background-color: rgb(255, 255, 0);"));
        QVERIFY(page.cellMarked(Column::ModelColumn) && !page.cellMarked(Column::NameColumn));
        QVERIFY(page.unsavedShown());
        QVERIFY(page.find<QWidget>("widget_buttonLite")->styleSheet().contains("#29F516"));

        page.click("pushButton_apply");
        QCOMPARE(page.bench.popUps(), QStringList({"Настройки применены."}));
        const VerificationSettings& r = page.record();
        QCOMPARE(QStringList({r.verificatorName, r.prProtocolNumber->value(), r.atmPressureUnits, r.etalonIdString,
                              r.accuracyClassText, r.txtProtocolName}),
                 QStringList({"Иванов", "17", "кПа", "0012345", "B", "other.xlsx"}));
        QCOMPARE(QList<double>({r.prAnalysisCoeffAccuracy->value(), r.etalonDelta}), QList<double>({0.5, 0.05}));
        const ChannelRecord sensor = page.sensor();
        QCOMPARE(QStringList({sensor.model, sensor.serial}), QStringList({"АИР-30", "7"}));
        QCOMPARE(QList<double>({sensor.rangeHigh, double(sensor.unit), double(sensor.outputType),
                                double(sensor.characteristic), sensor.outputLow}),
                 QList<double>({2.5, 1, 1, 1, 4}));
        const ChannelsModel* channels = page.bench.device().channelsModel();
        QVERIFY(channels->data(channels->index(0, 1)).toString().endsWith(unitName(1)));
        QCOMPARE(modes.size(), 1);
        QCOMPARE(modes.first().first().toInt(), 0);
        QVERIFY(!marked(name) && number->styleSheet().isEmpty() && !page.cellMarked(Column::ModelColumn));
        QVERIFY(!page.unsavedShown());
        QCOMPARE(page.find<QWidget>("widget_buttonLite")->styleSheet(), QString(".QWidget{}"));

        name->setText("Петров");
        number->setText("18");
        page.edit(Column::ModelColumn, "АИР-40");
        page.click("pushButton_repeal");
        const QString model = page.cell(Column::ModelColumn);
        QCOMPARE(QStringList({name->text(), number->text(), model, r.prProtocolNumber->value()}),
                 QStringList({"Иванов", "17", "АИР-30", "17"}));
        QVERIFY(!marked(name) && number->styleSheet().isEmpty() && !page.cellMarked(Column::ModelColumn));
        QVERIFY(!page.unsavedShown());
        // The apply that a project save makes says nothing.
        QVERIFY(page.tab->applySettings(true));
        QCOMPARE(page.bench.popUps().size(), 1);
    }

    // An apply while points are in the results gives every point the accuracy coefficient, and
    // each verdict follows from it; a point keeps the allowed error of the cycle it was made of.
    void applyReachesThePointsInTheResults_data()
    {
        QTest::addColumn<double>("coefficient");
        QTest::addColumn<QStringList>("verdicts");
        const QString yes("Да");
        const QString notForIt("Нет для данного коэффициента");
        QTest::newRow("coefficient 0.5") << 0.5 << QStringList({yes, notForIt, notForIt, "Нет "});
        QTest::newRow("coefficient 0.2") << 0.2 << QStringList({notForIt, notForIt, notForIt, "Нет "});
        QTest::newRow("coefficient 0.8") << 0.8 << QStringList({yes, yes, notForIt, "Нет "});
    }
    void applyReachesThePointsInTheResults()
    {
        QFETCH(double, coefficient);
        QFETCH(QStringList, verdicts);
        SettingsPage page;
        ResultsModel* results = page.bench.device().resultsModel();
        // Error and allowed error of each point, in two groups; the coefficient they were made with is 1.
        const QList<QPair<double, double>> points{{0.05, 0.2}, {-0.15, 0.2}, {0.45, 0.5}, {0.6, 0.5}};
        for (int i = 0; i < points.size(); ++i) {
            ResultRecord point;
            point.setError(points.at(i).first);
            point.setAllowedError(points.at(i).second);
            point.setCoefficient(1.0);
            point.setGroup(1 + i / 2);
            results->append(point);
        }
        page.edit(Column::AllowedErrorColumn, "0,3");
        qobject_cast<QDoubleSpinBox*>(page.editorOf(page.record().prAnalysisCoeffAccuracy))->setValue(coefficient);
        page.click("pushButton_apply");
        QStringList shown;
        QList<double> coefficients;
        for (int row = 0; row < results->rowCount(); ++row) {
            shown << results->index(row, 5).data().toString();
            coefficients << results->record(row)->coefficient;
            QCOMPARE(results->record(row)->allowedError, points.at(row).second);
        }
        QCOMPARE(shown, verdicts);
        QCOMPARE(coefficients, QVector<double>(points.size(), coefficient).toList());
    }

    // A unit or a range applied while polling runs: the channel table shows no pressure and no error
    // under the new labels until the next cycle gives them; a change of neither keeps the numbers.
    // 0.4 MPa and 12 mA (the middle of 4-20 mA) come from the calibrator in every cycle.
    void applyClearsTheChannelRowUntilItsNextCycle_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("between");
        QTest::addColumn<QStringList>("after");
        const QStringList none{"-", "-", "-"};
        QTest::newRow("unit") << int(Column::UnitColumn) << unitName(2) << none
                              << QStringList({"500,00000 МПа", "0,40000 МПа", "49,9600 %"});
        QTest::newRow("lower end") << int(Column::LowerColumn) << "-1000" << none
                                   << QStringList({"0,00000 кПа", "400,00000 кПа", "-20,0000 %"});
        QTest::newRow("upper end") << int(Column::UpperColumn) << "600" << none
                                   << QStringList({"300,00000 кПа", "400,00000 кПа", "-16,6667 %"});
        const QStringList kept{"500,00000 кПа", "400,00000 кПа", "10,0000 %"};
        QTest::newRow("model only") << int(Column::ModelColumn) << "АИР-30" << kept << kept;
    }
    void applyClearsTheChannelRowUntilItsNextCycle()
    {
        QFETCH(int, column);
        QFETCH(QString, value);
        QFETCH(QStringList, between);
        QFETCH(QStringList, after);
        SettingsPage page;
        DeviceZFN& device = page.bench.device();
        QVERIFY(page.bench.connectTo(0));
        // The next cycle waits for a restart.
        device.pollController()->pollIntervalMs = 600000;
        device.deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 7;
        page.bench.emulator().setValue("1", "0.4");
        page.bench.emulator().setValue("5", "12");
        page.edit(Column::LowerColumn, "0");
        page.edit(Column::UpperColumn, "1000");
        page.edit(Column::UnitColumn, unitName(1));
        page.edit(Column::OutputColumn, "4 - 20 мА");
        page.click("pushButton_apply");
        const ChannelsModel* channels = device.channelsModel();
        const auto measurement = [channels] {
            QStringList texts;
            for (int cell = 4; cell <= 6; ++cell)
                texts << channels->index(0, cell).data().toString();
            return texts;
        };
        const auto cycle = [&] {
            QueuedSpy updates(&device, &DeviceZFN::pollUpdateSignal);
            device.stopPoll();
            return device.startPoll() && updates.wait();
        };
        QVERIFY(cycle());
        QCOMPARE(measurement(), QStringList({"500,00000 кПа", "400,00000 кПа", "10,0000 %"}));
        page.edit(Column(column), value);
        page.click("pushButton_apply");
        QCOMPARE(measurement(), between);
        QVERIFY(cycle());
        QCOMPARE(measurement(), after);
        device.stopPoll();
    }

    // What the operator puts into each protocol field, what the field then shows and what an apply
    // stores: numbers within their limits and with the field's decimals, texts up to their length.
    void protocolFieldsKeepTheirLimits_data()
    {
        // A parameter's index, or -1 and the name of one of the page's own number fields.
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QVariant>("typed");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, int index, const QVariant& typed, const QVariant& stored,
                             const QString& shown) {
            QTest::newRow(name) << index << QString() << typed << stored << shown;
        };
        const auto own = [](const char* name, const char* widget, double typed, double stored, const QString& shown) {
            QTest::newRow(name) << -1 << QString(widget) << QVariant(typed) << QVariant(stored) << shown;
        };
        row("decimals below 0", 0, -1, 0, "0");
        row("decimals 0", 0, 0, 0, "0");
        row("decimals 10", 0, 10, 10, "10");
        row("decimals above 10", 0, 11, 10, "10");
        row("accuracy coefficient below 0.1", 14, 0.099, 0.1, "0.100");
        row("accuracy coefficient 0.1", 14, 0.1, 0.1, "0.100");
        row("accuracy coefficient to three decimals", 14, 0.4567, 0.457, "0.457");
        row("accuracy coefficient 1", 14, 1.0, 1.0, "1.000");
        row("accuracy coefficient above 1", 14, 1.001, 1.0, "1.000");
        row("variation coefficient below 0.5", 15, 0.499, 0.5, "0.500");
        row("variation coefficient 0.5", 15, 0.5, 0.5, "0.500");
        row("variation coefficient to three decimals", 15, 2.0004, 2.0, "2.000");
        row("variation coefficient 10", 15, 10.0, 10.0, "10.000");
        row("variation coefficient above 10", 15, 10.001, 10.0, "10.000");
        own("reference delta below 0", "doubleSpinBox_etalonDelta", -0.01, 0.0, "0.0000");
        own("reference delta to four decimals", "doubleSpinBox_etalonDelta", 0.45678, 0.4568, "0.4568");
        own("reference delta above 10", "doubleSpinBox_etalonDelta", 10.5, 10.0, "10.0000");
        own("point coefficient below 0", "doubleSpinBox_infoPointNum", -0.1, 0.0, "0.00000");
        own("point coefficient to five decimals", "doubleSpinBox_infoPointNum", 1.234567, 1.23457, "1.23457");
        own("point coefficient above 99.99", "doubleSpinBox_infoPointNum", 100.0, 99.99, "99.99000");
        const struct
        {
            const char* name;
            int index;
            int length;
        } texts[] = {{"protocol number", 1, 250},   {"organisation", 2, 250},     {"address", 3, 500},
                     {"certificate", 4, 250},       {"reference list", 5, 500},   {"owner", 6, 250},
                     {"notes", 7, 250},             {"document", 8, 250},         {"calibrator registry", 16, 100},
                     {"module registry", 17, 100},  {"setter type", 18, 100},     {"setter number", 19, 100},
                     {"setter accuracy", 20, 100}};
        for (const auto& text : texts) {
            const QString full = QString(text.length - 1, QChar(0x0436)) + QLatin1Char('z');
            row(qPrintable(QStringLiteral("%1 at its length").arg(text.name)), text.index, full, full, full);
            row(qPrintable(QStringLiteral("%1 beyond it").arg(text.name)), text.index, full + QLatin1Char('y'), full,
                full);
        }
    }

    void protocolFieldsKeepTheirLimits()
    {
        QFETCH(int, index);
        QFETCH(QString, widget);
        QFETCH(QVariant, typed);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        SettingsPage page;
        HAbstractParametr* parametr = page.record().parametr(index);
        QWidget* editor = parametr ? page.editorOf(parametr) : page.find<QWidget>(qPrintable(widget));
        QString text;
        if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
            spin->setValue(typed.toInt());
            text = spin->text();
        } else if (auto* real = qobject_cast<QDoubleSpinBox*>(editor)) {
            real->setValue(typed.toDouble());
            text = real->text();
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(typed.toString());
            text = line->text();
        } else {
            auto* lines = qobject_cast<QTextEdit*>(editor);
            QVERIFY(lines);
            lines->setPlainText(typed.toString());
            text = lines->toPlainText();
        }
        QCOMPARE(text, shown);
        page.click("pushButton_apply");
        QCOMPARE(page.bench.popUps(), QStringList({"Настройки применены."}));
        const VerificationSettings& r = page.record();
        switch (parametr ? parametr->typeId() : -1) {
        case -1:
            QCOMPARE(widget == "doubleSpinBox_etalonDelta" ? r.etalonDelta : r.indicatorCoff, stored.toDouble());
            break;
        case ParametrInt::TypeId:
            QCOMPARE(static_cast<ParametrInt*>(parametr)->value(), stored.toInt());
            break;
        case ParametrDouble::TypeId:
            QCOMPARE(static_cast<ParametrDouble*>(parametr)->value(), stored.toDouble());
            break;
        default:
            QCOMPARE(static_cast<ParametrString*>(parametr)->value(), stored.toString());
        }
    }

    // A refused apply, as the one before a project save, stores nothing and selects the bad cell.
    void badSensorCellsAreRefused_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("Рн not a number") << int(Column::LowerColumn) << QVariant("abc");
        QTest::newRow("Рн partly a number") << int(Column::LowerColumn) << QVariant("1.5x");
        QTest::newRow("Рв empty") << int(Column::UpperColumn) << QVariant("");
        QTest::newRow("Рв equal to Рн") << int(Column::UpperColumn) << QVariant(0.0);
        QTest::newRow("unknown unit") << int(Column::UnitColumn) << QVariant("бары");
        QTest::newRow("unknown output") << int(Column::OutputColumn) << QVariant("4-20");
        QTest::newRow("no characteristic") << int(Column::CharacteristicColumn) << QVariant("");
        QTest::newRow("allowed error") << int(Column::AllowedErrorColumn) << QVariant("0.5%");
    }

    void badSensorCellsAreRefused()
    {
        QFETCH(int, column);
        QFETCH(QVariant, value);
        SettingsPage page;
        page.line("lineEdit_verificatorName")->setText("Иванов");
        page.edit(column, value);
        QVERIFY(!page.tab->applySettings(true));
        QCOMPARE(page.bench.popUps(), QStringList({"В выбранном поле содержатся неверные данные"}));
        QCOMPARE(page.find<QTableView>("tableView")->currentIndex().column(), column);
        QCOMPARE(page.record().verificatorName, QString("Сидоров"));
        const ChannelRecord sensor = page.sensor();
        QCOMPARE(QList<double>({sensor.rangeHigh, double(sensor.unit), sensor.allowedError}),
                 QList<double>({360, 0, 0.1}));
        QVERIFY(page.unsavedShown());
    }

    // A failed read fills nothing; a good one fills the sensor row and the module's data and marks them.
    void calibratorReadFillsAndMarks()
    {
        SettingsPage page;
        QVERIFY(page.bench.connectTo(0));
        page.bench.device().setExchangeTimeout(300);
        page.bench.emulator().setStatusReply("1;4", 2);
        QVERIFY(page.readCalibrator());
        QTest::qWait(50);
        const QStringList kept{page.cell(Column::SerialColumn), page.cell(Column::UnitColumn)};
        QCOMPARE(kept, QStringList({"-", "Па"}));
        QVERIFY(!page.unsavedShown());
        QCOMPARE(page.bench.popUps().size(), 1);
        page.line("lineEdit_humidity")->setText("50");
        QVERIFY(marked(page.line("lineEdit_humidity")));

        page.bench.emulator().clearStatusReplies();
        {
            QMutexLocker lock(page.bench.device().mutex());
            page.bench.device().secondChannel()->name = "ДД";
        }
        QVERIFY(page.readCalibrator());
        QTRY_VERIFY(page.cellMarked(Column::NameColumn));
        const QList<int> read{Column::NameColumn, Column::SerialColumn, Column::UpperColumn, Column::UnitColumn,
                              Column::OutputColumn};
        QStringList cells;
        for (int column : read) {
            cells << page.cell(column);
            QVERIFY2(page.cellMarked(column), qPrintable(QString::number(column)));
        }
        QCOMPARE(cells, QStringList({"ДД", "1234567", "1600", "кПа", "4 - 20 мА"}));
        QCOMPARE(QStringList({page.line("lineEdit_temperature")->text(),
                              page.find<SerialNumberEditor>("calibratorSerialEditor")->text(),
                              page.find<SerialNumberEditor>("moduleSerialEditor")->text(),
                              page.find<QComboBox>("comboBox_accuracyClass")->currentText()}),
                 QStringList({"22", "02101", "7654321", "0.05"}));
        QCOMPARE(page.find<QComboBox>("comboBox_TzsMeasureUnit")->currentIndex(), 0);
        QVERIFY(!page.cellMarked(Column::ModelColumn));
        QVERIFY(marked(page.line("lineEdit_temperature")));
        QCOMPARE(page.sensor().serial, QString("-"));
        QCOMPARE(page.bench.popUps().size(), 1);
    }

    // The calibrator holds the sensor's range in kPa, in single precision: the row and the applied
    // range carry the digits it holds, in the sensor's unit.
    void calibratorRangeKeepsItsDigits_data()
    {
        QTest::addColumn<float>("upperKpa");
        QTest::addColumn<int>("unitCode");
        QTest::addColumn<double>("upper");
        QTest::newRow("kPa") << 6.3f << 6 << 6.3;
        QTest::newRow("MPa") << 6300.1f << 7 << 6.3001;
        QTest::newRow("kgf/cm2") << 98.0665f << 8 << 1.0;
    }

    void calibratorRangeKeepsItsDigits()
    {
        QFETCH(float, upperKpa);
        QFETCH(int, unitCode);
        QFETCH(double, upper);
        SettingsPage page;
        QVERIFY(page.bench.connectTo(0));
        QByteArray limit(4, '\0');
        qToLittleEndian(upperKpa, limit.data());
        page.bench.emulator().setRegister(16 + DeviceSettings::VerifiedUpperByte, 2, limit.toHex());
        page.bench.emulator().setRegister(16 + DeviceSettings::VerifiedUnitByte, 2, QByteArray(1, char(unitCode)).toHex());
        QVERIFY(page.readCalibrator());
        QTRY_VERIFY(page.cellMarked(Column::UpperColumn));
        QCOMPARE(page.cell(Column::UpperColumn).toDouble(), upper);
        page.line("lineEdit_verificatorName")->setText("Иванов");
        QVERIFY(page.tab->applySettings(true));
        QCOMPARE(page.sensor().rangeHigh, upper);
    }

    // The button fills the form only; the start reads into the record, and only in its mode.
    void thermohygrometerFillsTheConditions()
    {
        SettingsPage page;
        answer("1");
        page.record().glakReadMode = 0;
        QVERIFY(!page.tab->readConditionsOnStart());
        QVERIFY(!QFile::exists(logPath()));
        page.click("pushButton_glak_read");
        QCOMPARE(QStringList({page.line("lineEdit_temperature")->text(), page.line("lineEdit_humidity")->text(),
                              page.line("lineEdit_atmosphericPressure")->text(),
                              page.find<QComboBox>("comboBox_atmosphericPressureMeasure")->currentText()}),
                 QStringList({"21", "46", "749", "мм рт.ст."}));
        QCOMPARE(page.record().temperature, QString("-"));

        page.record().glakReadMode = 1;
        QVERIFY(page.tab->readConditionsOnStart());
        const VerificationSettings& r = page.record();
        QCOMPARE(QStringList({r.temperature, r.humidity, r.atmPressure, r.atmPressureUnits}),
                 QStringList({"21", "46", "749", "мм рт.ст."}));

        page.line("lineEdit_temperature")->setText("18");
        page.record().temperature = "19";
        answer("0");
        page.click("pushButton_glak_read");
        QVERIFY(!page.tab->readConditionsOnStart());
        QCOMPARE(page.bench.popUps(), QStringList({glakMissingText, glakMissingText}));
        QCOMPARE(page.line("lineEdit_temperature")->text(), QString("18"));
        QCOMPARE(page.record().temperature, QString("19"));
    }

    // Every list of the page item by item; each choice applied into the record and shown again
    // when the record is loaded.
    void listsAndTheirApplies()
    {
        SettingsPage page;
        page.edit(Column::UpperColumn, "100");
        VerificationSettings& r = page.record();
        const auto combo = [&](const char* name) { return page.find<QComboBox>(name); };
        const auto editor = [&](const HAbstractParametr* parametr) {
            return qobject_cast<QComboBox*>(page.editorOf(parametr));
        };
        const QStringList conformity = {"соответствует", "не соответствует", "-"};
        const QStringList pressureUnits = {"мм рт.ст.", "кПа"};
        const QList<PageList> lists = {
            {combo("comboBox_modelTZS"), TextDiscription::lstModuleCodes, {},
             [&] { return r.etalonModelText == TextDiscription::lstModuleCodes.value(r.modelTZS) ? r.modelTZS : -1; }},
            {combo("comboBox_accuracyClass"), {"A0", "A", "B", "C"}, {},
             [&] { return r.accuracyClassText == QStringList({"A0", "A", "B", "C"}).value(r.tzsAccuracyClass)
                              ? r.tzsAccuracyClass : -1; }},
            {combo("comboBox_glak_readmode"), {"вручную", "при нажатии кнопки СТАРТ"}, {0, 1},
             [&] { return r.glakReadMode; }},
            {combo("comboBox_atmosphericPressureMeasure"), pressureUnits, {},
             [&] { return pressureUnits.indexOf(r.atmPressureUnits); }},
            {editor(r.prVerificationType), {"первичная", "периодическая"}, {0, 1},
             [&] { return r.prVerificationType->value(); }},
            {editor(r.prCheckTightness), conformity, {0, 1, 2}, [&] { return r.prCheckTightness->value(); }},
            {editor(r.prTrial), conformity, {0, 1, 2}, [&] { return r.prTrial->value(); }},
            {editor(r.prCheckInsulationStrength), conformity, {0, 1, 2},
             [&] { return r.prCheckInsulationStrength->value(); }},
            {editor(r.prCheckInsulationResistance), conformity, {0, 1, 2},
             [&] { return r.prCheckInsulationResistance->value(); }},
        };
        QCOMPARE(comboItemTexts(combo("comboBox_TzsMeasureUnit")), QStringList({"кПА", "МПА"}));
        for (const PageList& list : lists) {
            QCOMPARE(comboListMismatch(list.combo, list.combo->objectName(), list.texts, list.codes), QString());
            for (int i = 0; i < list.texts.size(); ++i) {
                list.combo->setCurrentIndex(i);
                QVERIFY(page.tab->applySettings(true));
                QCOMPARE(list.stored(), i);
                list.combo->setCurrentIndex((i + 1) % list.texts.size());
                page.tab->loadSettings();
                QCOMPARE(list.combo->currentText(), list.texts.at(i));
            }
        }

        // The sensor row's lists come from its delegates' editors.
        auto* view = page.find<QTableView>("tableView");
        const QList<QPair<int, QStringList>> columns = {
            {Column::UnitColumn,
             {"Па", "кПа", "МПа", "кг/см2", "кг/м2", "мм рт.ст.", "мм вод.ст.", "мбар", "бар", "АТМ", "psi"}},
            {Column::OutputColumn, {"0 - 5 мА", "4 - 20 мА", "5 - 0 мА", "20 - 4 мА"}},
            {Column::CharacteristicColumn, {"линейная", "квадратичная"}},
            {Column::NameColumn, TextDiscription::lstChannelsNames},
        };
        for (const auto& column : columns) {
            const QModelIndex cell = page.table()->index(0, column.first);
            QAbstractItemDelegate* delegate = view->itemDelegateForColumn(column.first);
            QVERIFY(delegate);
            std::unique_ptr<QWidget> editor(delegate->createEditor(view->viewport(), QStyleOptionViewItem(), cell));
            auto* list = qobject_cast<QComboBox*>(editor.get());
            QVERIFY(list);
            QCOMPARE(comboItemTexts(list), column.second);
            for (int i = 0; i < column.second.size() && column.first != Column::NameColumn; ++i) {
                list->setCurrentIndex(i);
                delegate->setModelData(list, page.table(), cell);
                QVERIFY(page.tab->applySettings(true));
                const ChannelRecord sensor = page.sensor();
                const int stored = column.first == Column::UnitColumn     ? sensor.unit
                                   : column.first == Column::OutputColumn ? sensor.outputType
                                                                          : sensor.characteristic;
                QCOMPARE(stored, i);
                page.edit(column.first, column.second.value(i + 1, column.second.first()));
                page.tab->loadSettings();
                QCOMPARE(page.cell(column.first), column.second.at(i));
            }
        }
    }

private:
    QString logPath() const { return m_logFolder.filePath("vorna.log"); }
    QTemporaryDir m_logFolder;
};

QTEST_MAIN(TestVerificationTab)
#include "test_verification_tab.moc"
