#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "ArchiveTestData.h"
#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "DeviceZFN.h"
#include "ResultsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QStyledItemDelegate>
#include <QtTest>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>

using Frame = ArchiveFrameBuilder;
using namespace ArchiveTestData;

namespace {

// A point of a 4-20 mA sensor of 0..200.
ResultRecord point(double reference, double measured, double error = 0)
{
    ResultRecord record;
    record.setRangeLow(0);
    record.setRangeHigh(200);
    record.setOutputLow(4);
    record.setOutputHigh(20);
    record.setReference(reference);
    record.setMeasured(measured);
    record.setAllowedError(0.5);
    record.setCoefficient(0.8);
    record.setError(error);
    record.setReferenceFromDevice(true);
    return record;
}

QString cell(const ResultsModel& model, int row, int column)
{
    return model.data(model.index(row, column)).toString();
}

QList<int> numbers(const ResultsModel& model)
{
    QList<int> result;
    for (int row = 0; row < model.rowCount(); ++row)
        result.append(model.data(model.index(row, 0)).toInt());
    return result;
}

ChannelRecord channel(quint8 outputType, quint8 characteristic, double low, double high)
{
    ChannelRecord record;
    record.outputType = outputType;
    record.characteristic = characteristic;
    record.rangeLow = low;
    record.rangeHigh = high;
    record.updateOutputRange();
    return record;
}

QString cell(const ChannelsModel& model, int column)
{
    return model.data(model.index(0, column)).toString();
}

double typed(const ChannelsModel& model)
{
    return model.data(model.index(0, 3), Qt::EditRole).toDouble();
}

QVariant cell(const ArchiveModel& model, int row, int column, int role = Qt::DisplayRole)
{
    return model.data(model.index(row, column), role);
}

// Runs the work in a thread of its own, as the poll and archive threads do, and waits for it.
bool runInWorker(const std::function<void()>& work)
{
    const std::unique_ptr<QThread> worker(QThread::create(work));
    worker->start();
    return worker->wait(5000);
}

QByteArray at(const QByteArray& frame, int day, int month, int year, int hour = 0, int minute = 0, int second = 0)
{
    return Frame::withTime(frame, QDateTime(QDate(2000 + year, month, day), QTime(hour, minute, second)));
}

// What a set's uncertainty is computed from: three points alike but for their references and measured
// pressures, and the verification settings.
struct SetInputs
{
    QVector<double> references{100, 100, 100};
    QVector<double> measured{100, 100, 100};
    double rangeLow = 0;
    double rangeHigh = 200;
    double outputLow = 4;
    double outputHigh = 20;
    // NaN: no loop current was read.
    double current = 12;
    quint8 kind = 0;
    bool referenceFromDevice = true;
    double etalonDelta = 0.01;
    double indicator = 0.02;
};

SetInputs with(const std::function<void(SetInputs&)>& change)
{
    SetInputs inputs;
    change(inputs);
    return inputs;
}

ResultRecord pointOf(const SetInputs& inputs, int index)
{
    ResultRecord record = point(inputs.references.at(index), inputs.measured.at(index));
    record.setRangeLow(inputs.rangeLow);
    record.setRangeHigh(inputs.rangeHigh);
    record.setOutputLow(inputs.outputLow);
    record.setOutputHigh(inputs.outputHigh);
    record.setHasCurrent(!std::isnan(inputs.current));
    record.setCurrent(inputs.current);
    record.setKind(inputs.kind);
    record.setReferenceFromDevice(inputs.referenceFromDevice);
    return record;
}

}  // namespace

Q_DECLARE_METATYPE(SetInputs)

// The results, channel and archive tables: numbers, verdicts, uncertainty, sorting and the hand-over
// from worker threads.
class TestTableModels : public QObject
{
    Q_OBJECT

    VerificationSettings* m_settings = nullptr;

private slots:
    void initTestCase()
    {
        TestEnvironment::prepareWithChoiceLists();
        m_settings = new VerificationSettings;
        g_verificationSettings = m_settings;
    }

    void init()
    {
        m_settings->etalonDelta = 0.06;
        m_settings->indicatorCoff = 0.02;
    }

    void cleanupTestCase()
    {
        g_verificationSettings = nullptr;
        delete m_settings;
    }

    // Allowed error 0.5 (its sign does not count), coefficient 0.8.
    void verdictsAndCellTexts()
    {
        const struct { double error; int verdict; const char* text; } cases[] = {
            {0.3, 1, "Да"}, {-0.4, 1, "Да"}, {0.45, 2, "Нет для данного коэффициента"},
            {0.5, 2, "Нет для данного коэффициента"}, {-0.6, 3, "Нет "}, {std::nan(""), 3, "Нет "},
        };
        ResultsModel model;
        model.setUncertaintySources(m_settings);
        for (const auto& c : cases) {
            ResultRecord record = point(1, 1, c.error);
            record.setAllowedError(-0.5);
            QCOMPARE(int(record.verdict), c.verdict);
            model.append(record);
            QCOMPARE(cell(model, model.rowCount() - 1, 5), QString::fromUtf8(c.text));
        }
        model.setCoefficient(0.1);
        QCOMPARE(int(model.record(0)->verdict), 2);
        ResultRecord noCoefficient = point(1, 1, 0.1);
        noCoefficient.setCoefficient(std::nan(""));
        QCOMPARE(int(noCoefficient.verdict), 2);

        model.clear();
        model.append(ResultRecord());
        ResultRecord hart = point(100.05, 99.5, 0.25);
        hart.setKind(1);
        hart.setUnit(1);
        model.append(hart);
        QCOMPARE(QStringList({cell(model, 0, 5), cell(model, 0, 7), cell(model, 0, 1), cell(model, 1, 1), cell(model, 1, 6)}),
                 QStringList({"Ошибка", "-", "-", "100.05 кПа", "Считывание по HART"}));
        QCOMPARE(model.rawData(model.index(1, 3)).toDouble(), 0.25);
        QVERIFY(!model.rawData(model.index(1, 10)).isValid());
    }

    // references 99.9, 100.0, 100.1 (mean 100), measured 100.0, 100.2, 100.1 (mean 100.1);
    // range 0..200 (span 200), output 4..20 mA: k = 16 / 200 = 0.08 mA per unit;
    // etalonDelta 0.06, indicatorCoff 0.02.
    // uA  = √(0.02 / (3·2)) = 0.0577350;  uR = 0.2 / (2√3) = 0.0577350;  uP = 200·0.06 / 300 = 0.04
    // uRef = √(0.04² + 0.0577350² + 0.0577350²) = √0.0082667 = 0.0909212
    // uB  = √(0.02 / 6) = 0.0577350;  uInd = 0.02 / √3 = 0.0115470;  uM = √(uB² + uInd²) = 0.0588784
    // point 1: current 12 mA, uCurrent = (0.0001·12 + 1)·0.001 / (3·0.08) = 0.00417167,
    //          uMeasured = √(0.00417167² + uB²) = 0.0578855, reference from the calibrator: uResult = uMeasured,
    //          U = 2·√(uRef² + 0.0578855²) = 0.215568, relative 0.107784 %
    // point 2: no current, 20 mA taken: uCurrent = 0.004175, uMeasured = 0.0578858, U = 0.215568
    // point 3: HART, uCurrent = 0, uMeasured = uB; fixed reference: uResult = uM, U = 0.216641, 0.108321 %
    void uncertaintyOfWorkedSet()
    {
        ResultsModel model;
        model.setUncertaintySources(m_settings);
        ResultRecord first = point(99.9, 100.0);
        first.setHasCurrent(true);
        first.setCurrent(12);
        ResultRecord third = point(100.1, 100.1);
        third.setKind(1);
        third.setReferenceFromDevice(false);
        model.append(first);
        model.append(point(100.0, 100.2));
        model.append(third);
        QVERIFY(model.computeUncertainty({2, 0, 1}));

        const double expected[3][3] = {{0.00417167, 0.0578855, 0.215568},
                                       {0.004175, 0.0578858, 0.215568},
                                       {0.0, 0.0577350, 0.216641}};
        for (int row = 0; row < 3; ++row) {
            const ResultRecord& record = *model.record(row);
            QVERIFY(record.uReferenceSet && record.uResultSet && record.expandedSet);
            QVERIFY(std::fabs(record.uReference - 0.0909212) < 1e-7);
            QVERIFY(std::fabs(record.uCurrent - expected[row][0]) < 1e-8);
            QVERIFY(std::fabs(record.uMeasured - expected[row][1]) < 1e-7);
            QVERIFY(std::fabs(record.expanded - expected[row][2]) < 1e-6);
        }
        QVERIFY(std::fabs(model.record(2)->uResult - 0.0588784) < 1e-7);
        QCOMPARE(cell(model, 0, 7), QStringLiteral("0.107784"));
        QCOMPARE(cell(model, 2, 7), QStringLiteral("0.108321"));

        // A vacuum range spreads like a gauge range: the largest reference is negative, not 0.
        ResultsModel vacuum;
        vacuum.setUncertaintySources(m_settings);
        for (double reference : {-99.9, -100.0, -100.1})
            vacuum.append(point(reference, reference));
        QVERIFY(vacuum.computeUncertainty({0, 1, 2}));
        QVERIFY(std::fabs(vacuum.record(0)->uReference - 0.0909212) < 1e-7);
    }

    // Each input of the expanded uncertainty alone and in pairs, against a set with no spread: a
    // 4-20 mA sensor of 0..200 read at 12 mA, module accuracy 0.01 %, indicator 0.02.
    void uncertaintyInputs_data()
    {
        const QVector<double> referenceSpread{99.9, 100.0, 100.3};
        const QVector<double> measuredSpread{99.8, 100.2, 100.1};
        const double none = std::nan("");
        QTest::addColumn<SetInputs>("inputs");
        QTest::addColumn<double>("expanded");
        QTest::addColumn<double>("relative");
        QTest::newRow("no spread") << SetInputs() << 0.0157286041621 << 0.00786430208106;
        QTest::newRow("reference spread") << with([&](SetInputs& s) { s.references = referenceSpread; })
                                          << 0.333704210492 << 0.166852105246;
        QTest::newRow("measured spread") << with([&](SetInputs& s) { s.measured = measuredSpread; })
                                         << 0.240884135565 << 0.120442067782;
        QTest::newRow("module accuracy") << with([](SetInputs& s) { s.etalonDelta = 0.05; })
                                         << 0.0671867223159 << 0.033593361158;
        QTest::newRow("range low") << with([](SetInputs& s) { s.rangeLow = 50; })
                                   << 0.0117964531216 << 0.00786430208106;
        QTest::newRow("range high") << with([](SetInputs& s) { s.rangeHigh = 400; })
                                    << 0.0314572083243 << 0.00786430208106;
        QTest::newRow("output 0-5 mA") << with([](SetInputs& s) { s.outputLow = 0; s.outputHigh = 5; })
                                       << 0.0298428648014 << 0.0149214324007;
        QTest::newRow("loop current") << with([](SetInputs& s) { s.current = 16; })
                                      << 0.0157303726028 << 0.00786518630139;
        QTest::newRow("no loop current") << with([&](SetInputs& s) { s.current = none; })
                                         << 0.0157321415509 << 0.00786607077545;
        QTest::newRow("HART") << with([](SetInputs& s) { s.kind = 1; }) << 0.0133333333333 << 0.00666666666667;
        QTest::newRow("typed reference") << with([](SetInputs& s) { s.referenceFromDevice = false; })
                                         << 0.0266666666667 << 0.0133333333333;
        QTest::newRow("indicator, read reference") << with([](SetInputs& s) { s.indicator = 0.5; })
                                                   << 0.0157286041621 << 0.00786430208106;
        QTest::newRow("reference and measured spread")
            << with([&](SetInputs& s) { s.references = referenceSpread; s.measured = measuredSpread; })
            << 0.41126181184 << 0.20563090592;
        QTest::newRow("reference spread, module accuracy")
            << with([&](SetInputs& s) { s.references = referenceSpread; s.etalonDelta = 0.05; })
            << 0.340037007937 << 0.170018503968;
        QTest::newRow("measured spread, typed reference")
            << with([&](SetInputs& s) { s.measured = measuredSpread; s.referenceFromDevice = false; })
            << 0.241844761963 << 0.120922380981;
        QTest::newRow("measured spread, HART") << with([&](SetInputs& s) { s.measured = measuredSpread; s.kind = 1; })
                                               << 0.240739601137 << 0.120369800568;
        QTest::newRow("range low and high") << with([](SetInputs& s) { s.rangeLow = -100; s.rangeHigh = 400; })
                                            << 0.0393215104053 << 0.00786430208106;
        QTest::newRow("range low, output 0-5 mA")
            << with([](SetInputs& s) { s.rangeLow = 50; s.outputLow = 0; s.outputHigh = 5; })
            << 0.0223821486011 << 0.0149214324007;
        QTest::newRow("no loop current, output 0-5 mA")
            << with([&](SetInputs& s) { s.current = none; s.outputLow = 0; s.outputHigh = 5; })
            << 0.0298261659919 << 0.014913082996;
        QTest::newRow("loop current, output 0-5 mA")
            << with([](SetInputs& s) { s.current = 16; s.outputLow = 0; s.outputHigh = 5; })
            << 0.029852408025 << 0.0149262040125;
        QTest::newRow("HART, typed reference") << with([](SetInputs& s) { s.kind = 1; s.referenceFromDevice = false; })
                                               << 0.0266666666667 << 0.0133333333333;
        QTest::newRow("indicator, typed reference")
            << with([](SetInputs& s) { s.indicator = 0.5; s.referenceFromDevice = false; })
            << 0.577504208739 << 0.288752104369;
        QTest::newRow("module accuracy, range high") << with([](SetInputs& s) { s.etalonDelta = 0.05; s.rangeHigh = 400; })
                                                     << 0.134373444632 << 0.033593361158;
    }
    void uncertaintyInputs()
    {
        QFETCH(SetInputs, inputs);
        QFETCH(double, expanded);
        QFETCH(double, relative);
        m_settings->etalonDelta = inputs.etalonDelta;
        m_settings->indicatorCoff = inputs.indicator;
        ResultsModel model;
        model.setUncertaintySources(m_settings);
        for (int index = 0; index < 3; ++index)
            model.append(pointOf(inputs, index));
        QVERIFY(model.computeUncertainty({0, 1, 2}));
        for (int row = 0; row < 3; ++row) {
            const ResultRecord& r = *model.record(row);
            QVERIFY2(qAbs(r.expanded - expanded) < 1e-11, qPrintable(QString::number(r.expanded, 'g', 12)));
            QVERIFY2(qAbs(r.expandedRelative - relative) < 1e-11, qPrintable(QString::number(r.expandedRelative, 'g', 12)));
        }
    }

    // Points of several ranges in one set: the spread is the set's, the span and the output slope each
    // point's own (the rows "no spread" and "range high" above).
    void setOfSeveralRanges()
    {
        ResultsModel model;
        model.setUncertaintySources(m_settings);
        m_settings->etalonDelta = 0.01;
        const SetInputs inputs;
        model.append(pointOf(inputs, 0));
        model.append(pointOf(with([](SetInputs& s) { s.rangeHigh = 400; }), 1));
        model.append(pointOf(inputs, 2));
        QVERIFY(model.computeUncertainty({0, 1, 2}));
        QCOMPARE(QStringList({cell(model, 0, 7), cell(model, 1, 7), cell(model, 2, 7)}),
                 QStringList({"0.007864", "0.007864", "0.007864"}));
        const double expanded[] = {0.0157286041621, 0.0314572083243, 0.0157286041621};
        for (int row = 0; row < 3; ++row)
            QVERIFY(qAbs(model.record(row)->expanded - expanded[row]) < 1e-11);
    }

    void uncomputableSets()
    {
        const struct { QList<int> rows; double rangeHigh, outputHigh; } cases[] = {
            {{1}, 200, 20}, {{1, 1, 9}, 200, 20}, {{0, 1}, 0, 20}, {{0, 1}, 200, 4},
        };
        for (const auto& c : cases) {
            init();
            ResultsModel model;
            model.setUncertaintySources(m_settings);
            model.append(point(10, 10.1));
            model.append(point(20, 19.8));
            QVERIFY(model.computeUncertainty({0, 1}));
            for (int row : {0, 1}) {
                model.record(row)->rangeHigh = c.rangeHigh;
                model.record(row)->outputHigh = c.outputHigh;
            }
            QSignalSpy messages(&model, &ResultsModel::showPopUpMessageSignal);
            QVERIFY(!model.computeUncertainty(c.rows));
            QCOMPARE(messages.count(), 1);
            QCOMPARE(cell(model, 1, 7), QStringLiteral("-"));
            // The protocol reads the raw figures: none of the earlier set may stay behind.
            QVERIFY(std::isnan(model.record(1)->expanded));
            QVERIFY(std::isnan(model.record(1)->expandedRelative));
            QVERIFY(std::isnan(model.record(1)->uResult));
        }
    }

    // Numbers stay with their points; processed points keep their uncertainty whatever was removed
    // or sorted before the next group.
    void numberingRemovalAndPooling()
    {
        ResultsModel model;
        model.setUncertaintySources(m_settings);
        model.setCurrentGroup(4);
        model.append(point(1, 1.1));
        model.append(point(2, 2.1));
        model.processNewRows();
        const double firstSet = model.record(1)->expanded;
        for (double reference : {50.0, 60.0, 70.0})
            model.append(point(reference, reference + 0.3));
        model.removeResult(0);
        model.removeResult(4);
        model.removeResult(-1);
        model.sort(1, Qt::DescendingOrder);
        model.processNewRows();
        QCOMPARE(numbers(model), QList<int>({5, 4, 3, 2}));
        QCOMPARE(model.record(3)->expanded, firstSet);
        QVERIFY(model.record(2)->expandedSet && model.record(0)->expanded != firstSet);
        QVERIFY(model.record(4) == nullptr);

        model.setGroup({0, 2}, 3);
        QCOMPARE(model.data(model.index(0, 8), Qt::EditRole).toInt(), 3);
        QCOMPARE(model.data(model.index(1, 8), Qt::EditRole).toInt(), 0);
        model.append(point(9, 9));
        QCOMPARE(numbers(model).last(), 6);
        model.clear();
        model.append(point(1, 1));
        QCOMPARE(numbers(model), QList<int>({1}));
        QCOMPARE(model.currentGroup(), 4);
    }

    void sorting()
    {
        ResultsModel model;
        model.setUncertaintySources(m_settings);
        const double errors[] = {0.9, 0.1, 0.45, 0.1};  // verdicts 3, 1, 2, 1
        for (int i = 0; i < 4; ++i) {
            ResultRecord record = point(i, i, errors[i]);
            record.setRangeText(QString(QChar('d' - i)));
            model.append(record);
        }
        model.record(2)->reference = std::nan("");
        const struct { int column; Qt::SortOrder order; QList<int> numbers; } steps[] = {
            {5, Qt::AscendingOrder, {2, 4, 3, 1}},  {1, Qt::DescendingOrder, {4, 2, 1, 3}},
            {1, Qt::AscendingOrder, {1, 2, 4, 3}},  {9, Qt::AscendingOrder, {4, 3, 2, 1}},
            {11, Qt::AscendingOrder, {4, 3, 2, 1}}, {0, Qt::AscendingOrder, {1, 2, 3, 4}},
        };
        for (const auto& step : steps) {
            model.sort(step.column, step.order);
            QCOMPARE(numbers(model), step.numbers);
        }
        QVERIFY(model.computeUncertainty({1, 3}));
        model.sort(7, Qt::DescendingOrder);
        QCOMPARE(numbers(model).mid(2), QList<int>({1, 3}));
    }

    void fullModel()
    {
        ResultsModel model;
        model.setUncertaintySources(m_settings);
        for (int i = 0; i < ResultsModel::maxCount - 1; ++i) {
            ResultRecord record = point((i * 37) % 101, (i * 53) % 97, (i % 13) / 10.0);
            record.setGroup(i % 7);
            model.append(record);
        }
        QVERIFY(!model.isFull());
        // The poll thread's append reaches the rows later, but counts at once.
        QVERIFY(runInWorker([&model] { model.append(point(1, 2)); }));
        QVERIFY(model.isFull());
        QTRY_COMPARE(model.rowCount(), ResultsModel::maxCount);

        model.sort(8, Qt::AscendingOrder);
        for (int row = 1; row < model.rowCount(); ++row)
            QVERIFY(model.record(row - 1)->group <= model.record(row)->group);
        model.removeResult(0);
        QVERIFY(!model.isFull());
    }

    void expectedOutputAndError()
    {
        const struct { quint8 type, characteristic; double low, high, pressure, output; } cases[] = {
            {1, 0, 0, 100, 50, 12},   {1, 0, 100, 200, 150, 12}, {0, 0, 0, 100, 100, 5},
            {2, 0, 0, 100, 0, 5},     {2, 0, 0, 100, 100, 0},    {3, 0, 0, 100, 25, 16},
            {1, 0, -100, 0, -25, 16}, {1, 1, 0, 100, 25, 12},    {1, 1, 0, 100, -25, -4},
            {3, 1, 0, 100, 25, 12},
        };
        for (const auto& c : cases)
            QCOMPARE(channel(c.type, c.characteristic, c.low, c.high).expectedOutput(c.pressure), c.output);
        QVERIFY(std::isnan(channel(7, 0, 0, 100).expectedOutput(50)));
        QVERIFY(std::isnan(channel(1, 2, 0, 100).expectedOutput(50)));

        // The inverse of each output is pinned by the round trip below; here the error in % of the span.
        ChannelRecord record = channel(1, 0, 100, 1100);
        record.reference = 590;
        record.currentToValue(12);
        QCOMPARE(record.current, 12.0);
        QCOMPARE(record.measured, 600.0);
        QCOMPARE(record.error, 1.0);
        ChannelRecord unknown = channel(9, 0, 0, 100);
        unknown.currentToValue(12);
        QVERIFY(std::isnan(unknown.measured) && std::isnan(unknown.error));
    }

    void roundTripThroughPressure()
    {
        const QVector<QPair<double, double>> ranges = {{0, 100}, {-100, 0}, {-40, 60}, {2.5, 1600}};
        for (quint8 type = 0; type < 4; ++type) {
            for (quint8 characteristic = 0; characteristic < 2; ++characteristic) {
                for (const auto& range : ranges) {
                    ChannelRecord record = channel(type, characteristic, range.first, range.second);
                    for (double current : {0.5, 4.0, 7.3, 12.0, 19.9, 21.0}) {
                        record.currentToValue(current);
                        QVERIFY2(std::fabs(record.expectedOutput(record.measured) - current) < 1e-9,
                                 qPrintable(QStringLiteral("type %1 root %2 current %3").arg(type).arg(characteristic).arg(current)));
                    }
                }
            }
        }
    }

    void typedCurrent()
    {
        ChannelsModel model;
        model.append(ChannelRecord());
        const QModelIndex current = model.index(0, 3);
        QVERIFY(!(model.flags(current) & Qt::ItemIsEditable));
        model.setCurrentEditable(true);
        QVERIFY(model.flags(current) & Qt::ItemIsEditable);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.setData(current, QStringLiteral("12,5")));
        QCOMPARE(typed(model), 12.5);
        QVERIFY(model.setData(current, QStringLiteral("30")));
        QCOMPARE(typed(model), 25.0);
        QVERIFY(model.setData(current, -7.0));
        QCOMPARE(typed(model), -5.0);
        for (const QString& text : {QStringLiteral("12,5 мА"), QString(), QStringLiteral("nan")})
            QVERIFY(!model.setData(current, text));
        QVERIFY(!model.setData(model.index(0, 4), QStringLiteral("1")));
        QCOMPARE(typed(model), -5.0);
        QCOMPARE(changed.count(), 3);

        // A poll must not overwrite what the operator typed.
        ChannelRecord polled;
        polled.current = 9;
        polled.measured = 1;
        model.updateMeasurement(0, polled);
        QCOMPARE(typed(model), -5.0);
        // The poll thread's update is shown by the GUI thread.
        QThread* resetThread = nullptr;
        connect(&model, &QAbstractItemModel::modelReset, this, [&resetThread] { resetThread = QThread::currentThread(); },
                Qt::DirectConnection);
        model.setCurrentEditable(false);
        QVERIFY(runInWorker([&model, polled] { model.updateMeasurement(0, polled); }));
        QTRY_COMPARE(cell(model, 3) + cell(model, 4), QStringLiteral("9,0000 мА1,00000 Па"));
        QCOMPARE(resetThread, QThread::currentThread());

        model.setFixedEtalon(true, 101.3);
        model.setFixedEtalon(false, 5);
        QVERIFY(!model.isFixedEtalon());
        QCOMPARE(model.fixedEtalon(), 101.3);
    }

    // The pressures and the error hold for the unit and the range in use they were computed in: a row
    // given others shows none until a cycle made for them, and a cycle made before the change that is
    // shown after it stays unseen. The loop current stays; unknown ends of a transmitter's range are
    // the same range as before.
    void scaleChangeHidesTheOldCycle_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("low");
        QTest::addColumn<bool>("hartRange");
        QTest::addColumn<double>("hartLow");
        QTest::addColumn<bool>("kept");
        const double unknown = std::nan("");
        QTest::newRow("nothing") << 1 << 0.0 << true << unknown << true;
        QTest::newRow("unit") << 2 << 0.0 << true << unknown << false;
        QTest::newRow("own range while the transmitter's is in use") << 1 << -10.0 << true << unknown << true;
        QTest::newRow("transmitter's end") << 1 << 0.0 << true << 0.0 << false;
        QTest::newRow("own range in use") << 1 << 0.0 << false << unknown << false;
        QTest::newRow("own range in use, its end") << 1 << -10.0 << false << unknown << false;
    }
    void scaleChangeHidesTheOldCycle()
    {
        QFETCH(int, unit);
        QFETCH(double, low);
        QFETCH(bool, hartRange);
        QFETCH(double, hartLow);
        QFETCH(bool, kept);
        ChannelRecord before = channel(1, 0, 0, 100);
        before.unit = 1;
        before.hartRange = true;
        before.hartLow = before.hartHigh = std::nan("");
        const auto measure = [](ChannelRecord record, double measured) {
            record.measured = measured;
            record.reference = 40;
            record.error = 2;
            record.current = 12;
            return record;
        };
        ChannelsModel model;
        model.append(before);
        model.updateMeasurement(0, measure(before, 50));
        ChannelRecord after = measure(before, 50);
        after.unit = quint8(unit);
        after.rangeLow = low;
        after.hartRange = hartRange;
        after.hartLow = hartLow;
        model.setRecord(0, after);
        const auto shown = [&model] { return QStringList({cell(model, 3), cell(model, 4), cell(model, 6)}); };
        const QString suffix = ' ' + unitName(unit);
        const QString current("12,0000 мА");
        QCOMPARE(shown(), QStringList({current, kept ? "50,00000" + suffix : "-", kept ? "2,0000 %" : "-"}));
        model.updateMeasurement(0, measure(before, 60));
        QCOMPARE(shown().at(1), kept ? "60,00000" + suffix : "-");
        model.updateMeasurement(0, measure(after, 70));
        QCOMPARE(shown(), QStringList({current, "70,00000" + suffix, "2,0000 %"}));
    }

    // The row shows no measurement that no cycle of the running session gave: not the record's own
    // numbers (a fresh program's, a project's), not the last session's once another starts, not a cycle
    // of that session still on its way from the poll thread. Its range and output always show.
    void rowShowsOnlyCyclesOfTheSession()
    {
        ChannelsModel model;
        const ChannelRecord record = channel(0, 0, 0, 360);
        model.append(record);
        const auto shown = [&model] {
            QStringList texts;
            for (int column = 1; column < ChannelsModel::columnTotal; ++column)
                texts << cell(model, column);
            return texts;
        };
        const QStringList none{"360 Па", "0 - 5 мА", "-", "-", "-", "-"};
        QCOMPARE(shown(), none);
        model.setRecord(0, record);
        QCOMPARE(shown(), none);

        ChannelRecord cycle = record;
        cycle.current = 2.5;
        cycle.measured = cycle.reference = 180;
        cycle.error = 0;
        const QStringList measured{"360 Па", "0 - 5 мА", "2,5000 мА", "180,00000 Па", "180,00000 Па", "0,0000 %"};
        model.updateMeasurement(0, cycle);
        QCOMPARE(shown(), measured);
        model.beginSession();
        QCOMPARE(shown(), none);
        model.updateMeasurement(0, cycle);
        QCOMPARE(shown(), measured);

        QVERIFY(runInWorker([&model, cycle] { model.updateMeasurement(0, cycle); }));
        model.beginSession();
        QCoreApplication::processEvents();
        QCOMPARE(shown(), none);
        QVERIFY(runInWorker([&model, cycle] { model.updateMeasurement(0, cycle); }));
        QTRY_COMPARE(shown(), measured);
    }

    // Valid: a good check value and a unit code from 5 to 15; the bytes round-trip with the index.
    void validityAndBytes()
    {
        for (const quint8 unitCode : {5, 15, 4, 0, 16})
            QCOMPARE(record(Frame::measurement(unitCode, 1, 1, 0, 1), 3).isValid(), unitCode == 5 || unitCode == 15);
        QVERIFY(!record(Frame::cleared(), 7).isValid());
        QVERIFY(!record(Frame::withBadCheck(frameAt(1)), 1).isValid());

        const QByteArray bytes = record(at(frameAt(3), 31, 12, 99, 23, 59, 58), 0x01020304).toBytes();
        QCOMPARE(bytes.size(), ArchiveRecord::recordSize);
        QCOMPARE(bytes.mid(64), QByteArray("\x04\x03\x02\x01", 4));
        ArchiveRecord loaded;
        QVERIFY(ArchiveRecord::fromBytes(bytes, &loaded));
        QCOMPARE(loaded.toBytes(), bytes);
        QCOMPARE(loaded.index(), 0x01020304u);
        QCOMPARE(loaded.reference(), 3.0f);
        QCOMPARE(loaded.dateTimeText(), QStringLiteral("31.12.99 / 23:59:58"));
        QVERIFY(!ArchiveRecord::fromBytes(bytes.left(67), &loaded));
        QVERIFY(!ArchiveRecord::fromBytes(bytes + '\0', &loaded));
        QCOMPARE(loaded.toBytes(), bytes);
    }

    // Every single-precision field of a frame is shown, and given as a number, with the shortest text
    // that reads back as the frame's float: the digits it holds, eight or nine where it needs them,
    // never the six a view writes by itself, and no binary tail.
    void frameFloatsKeepTheirDigits_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("typed") << 40.2f << "40.2";
        QTest::newRow("seven digits") << 1170.175f << "1170.175";
        QTest::newRow("kPa scaled to MPa") << 990.0f * 0.001f << "0.99000007";
        QTest::newRow("negative") << -760.0f * 0.001f << "-0.76000005";
        QTest::newRow("eight digits") << 123456.79f << "123456.79";
        QTest::newRow("whole above seven digits") << 16777216.0f << "16777216";
        QTest::newRow("smallest") << std::numeric_limits<float>::denorm_min() << "1e-45";
        QTest::newRow("largest") << std::numeric_limits<float>::max() << "3.4028235e+38";
    }

    void frameFloatsKeepTheirDigits()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        const QByteArray frame = Frame::withHart(Frame::measurement(6, value, value, value, 1), value, value);
        ArchiveModel model;
        model.append(record(Frame::withTemperature(frame, value), 0));
        const QStyledItemDelegate view;
        for (const int column : {2, 5, 6, 7, 9, 10}) {
            QCOMPARE(view.displayText(cell(model, 0, column), QLocale::c()), text);
            const QVariant number = cell(model, 0, column, Qt::EditRole);
            QCOMPARE(number.userType(), int(QMetaType::Double));
            QCOMPARE(number.toString(), text);
        }
        const QByteArray digits = text.toLatin1();
        float readBack = 0;
        std::from_chars(digits.constData(), digits.constData() + digits.size(), readBack);
        QCOMPARE(readBack, value);
    }

    void sortsEachColumn()
    {
        ArchiveModel model;
        const QByteArray a = Frame::withErrorCode(Frame::measurement(9, std::nanf(""), 0, 0, 5), 1);
        const QByteArray b = Frame::withHart(Frame::measurement(5, 2, 0, 0, 900), 0, 0);
        const QByteArray c = Frame::withErrorCode(Frame::measurement(15, -4, 0, 0, 70), 3);
        model.append(record(Frame::withTemperature(at(a, 1, 12, 24), 30), 10));
        model.append(record(Frame::withTemperature(at(b, 2, 1, 24), 10), 2));
        model.append(record(Frame::withTemperature(at(c, 2, 1, 23, 23), 20), 7));
        const struct { int column; Qt::SortOrder order; QList<uint> indexes; } steps[] = {
            {1, Qt::AscendingOrder, {7, 2, 10}},   {1, Qt::DescendingOrder, {10, 2, 7}},
            {0, Qt::AscendingOrder, {2, 7, 10}},   {2, Qt::DescendingOrder, {10, 7, 2}},
            {3, Qt::DescendingOrder, {7, 10, 2}},  {4, Qt::AscendingOrder, {10, 7, 2}},
            {5, Qt::AscendingOrder, {7, 2, 10}},   {5, Qt::DescendingOrder, {2, 7, 10}},
            {11, Qt::DescendingOrder, {7, 10, 2}}, {12, Qt::DescendingOrder, {2, 7, 10}},
            {8, Qt::AscendingOrder, {2, 7, 10}},   {13, Qt::AscendingOrder, {2, 7, 10}},
        };
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        for (const auto& step : steps) {
            model.sort(step.column, step.order);
            QCOMPARE(ArchiveTestData::indexes(model), step.indexes);
        }
        QCOMPARE(resets.count(), 12);

        // A full archive sorts stably: ties keep the order of the sort before.
        model.replaceRecords(mixedRecords(512));
        model.sort(1, Qt::DescendingOrder);
        model.sort(12, Qt::AscendingOrder);
        for (int row = 1; row < model.rowCount(); ++row) {
            const uint earlier = cell(model, row - 1, 12, Qt::UserRole).toUInt();
            const uint later = cell(model, row, 12, Qt::UserRole).toUInt();
            QVERIFY(earlier < later || (earlier == later && model.record(row - 1).timeKey() >= model.record(row).timeKey()));
        }
    }

    void archiveThreadAppendAndClear()
    {
        ArchiveModel model;
        QThread* insertThread = nullptr;
        connect(&model, &QAbstractItemModel::rowsInserted, this,
                [&insertThread] { insertThread = QThread::currentThread(); }, Qt::DirectConnection);
        const auto appendInWorker = [&model](quint32 index) {
            return runInWorker([&model, index] {
                model.append(record(frameAt(1), index));
                model.resumePosition = 4;
            });
        };
        QVERIFY(appendInWorker(3));
        QTRY_COMPARE(model.rowCount(), 1);
        QCOMPARE(insertThread, QThread::currentThread());
        model.clear();
        QVERIFY(model.isEmpty());
        QCOMPARE(model.resumePosition.load(), 0);

        // A frame still queued from a stopped read does not reach rows cleared after it.
        QVERIFY(appendInWorker(5));
        model.clear();
        QTest::qWait(50);
        QVERIFY(model.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTableModels)
#include "test_table_models.moc"
