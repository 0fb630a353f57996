#include "ParametrChannelStyle.h"
#include "ParametrDateTime.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrMultiEnum.h"
#include "ParametrString.h"
#include "ParametrTime.h"
#include "TestEnvironment.h"

#include <QtTest>
#include <limits>
#include <memory>

namespace {

constexpr quint8 deferred = HAbstractParametr::DeferredEdit | HAbstractParametr::OwnCaption;
constexpr quint8 immediate = HAbstractParametr::OwnCaption;

class ItemList
{
public:
    ItemList(int count)
    {
        for (int i = 0; i < count; ++i)
            items.append(new ParametrEnumItem(QStringLiteral("п%1").arg(i), i));
    }
    ~ItemList() { qDeleteAll(items); }

    QList<ParametrEnumItem*> items;
};

}  // namespace

class TestParameters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void captionOwnedOrReferenced();
    void flagsAndToolTip();

    void intEditApplyRevert();
    void intLimitsAndHexText();
    void doubleBoundsAndText();
    void doubleEditAndLimits();
    void enumTextsAndItemList();
    void stringShowsCommittedText();
    void multiEnumTexts();
    void multiEnumLockAllowsReading();
    void timeTexts_data();
    void timeTexts();
    void timeLimitsAndEdit();
    void dateTimeTextAndDeviceBytes();
    void channelStyleDefaultsAndColours();
};

void TestParameters::initTestCase()
{
    TestEnvironment::prepare();
}

void TestParameters::captionOwnedOrReferenced()
{
    QString text = QStringLiteral("Давление");
    ParametrInt referenced(text, 0, 10, 0);
    std::unique_ptr<HAbstractParametr> owned =
        std::make_unique<ParametrInt>(text, 0, 10, HAbstractParametr::OwnCaption);
    text = QStringLiteral("Ток");
    QCOMPARE(referenced.caption(), QString("Ток"));
    QCOMPARE(owned->caption(), QString("Давление"));
    owned->setToolTipText(QStringLiteral("подсказка"));
    owned.reset();
}

void TestParameters::flagsAndToolTip()
{
    ParametrString parametr(QStringLiteral("Текст"), 10, HAbstractParametr::OwnCaption);
    QVERIFY(parametr.showsCommitted());
    parametr.setFlag(HAbstractParametr::DeferredEdit | HAbstractParametr::Reserved10);
    QVERIFY(!parametr.showsCommitted());
    QVERIFY(parametr.hasReserved10() && !parametr.hasReserved08());
    parametr.clearFlag(HAbstractParametr::DeferredEdit);
    QCOMPARE(parametr.flags(), quint8(0x14));

    QCOMPARE(parametr.toolTipText(), QString());
    parametr.setToolTipText(QStringLiteral("первая"));
    parametr.setToolTipText(QStringLiteral("вторая"));
    QCOMPARE(parametr.toolTipText(), QString("вторая"));
}

void TestParameters::intEditApplyRevert()
{
    ParametrInt parametr(QStringLiteral("Число"), 0, 100, deferred);
    parametr.setValue(3);
    parametr.setEditedValue(5);
    QCOMPARE(parametr.valueText(), QString("5"));
    QCOMPARE(parametr.value(), 3);
    parametr.revertEdited();
    QCOMPARE(parametr.valueText(), QString("3"));
    QCOMPARE(parametr.editedValue(), 3);

    parametr.setEditedValue(7);
    parametr.applyEdited();
    QCOMPARE(parametr.value(), 7);
    parametr.setEditedValue(9);
    parametr.clearFlag(HAbstractParametr::DeferredEdit);
    QCOMPARE(parametr.valueText(), QString("7"));
    parametr.setValue(4);
    QCOMPARE(parametr.editedValue(), 4);
}

void TestParameters::intLimitsAndHexText()
{
    ParametrInt parametr(QStringLiteral("Число"), 0, 255, deferred);
    parametr.setValue(300);
    QCOMPARE(parametr.value(), 255);
    parametr.setValue(-1);
    QCOMPARE(parametr.value(), 0);
    parametr.setEditedValue(1000);
    QCOMPARE(parametr.editedValue(), 255);

    parametr.setValue(171);
    QCOMPARE(parametr.hexText(true), QString("0xAB"));
    QCOMPARE(parametr.hexText(false), QString("171"));
    parametr.setEditedValue(31);
    QCOMPARE(parametr.hexText(true), QString("0x1F"));
}

void TestParameters::doubleBoundsAndText()
{
    ParametrDouble parametr(QStringLiteral("Коэффициент"), ParametrDouble::unbounded, 10.0, deferred);
    QCOMPARE(parametr.minimum(), std::numeric_limits<double>::lowest());
    QCOMPARE(parametr.maximum(), 10.0);
    QCOMPARE(parametr.decimals(), 3);
    parametr.setValue(2.0);
    QCOMPARE(parametr.valueText(), QString("2"));
    parametr.setValue(0.1);
    QCOMPARE(parametr.valueText(), QString("0,1"));
    parametr.setValue(-1.5);
    QCOMPARE(parametr.valueText(), QString("-1,5"));

    ParametrDouble open(QStringLiteral("Без границ"), 0.0, ParametrDouble::unbounded, immediate);
    QCOMPARE(open.maximum(), std::numeric_limits<double>::max());
    open.setValue(1234567.0);
    QCOMPARE(open.valueText(), QString("1,23457e+06"));
    open.setValue(0.0000001);
    QCOMPARE(open.valueText(), QString("1e-07"));
}

void TestParameters::doubleEditAndLimits()
{
    ParametrDouble parametr(QStringLiteral("Коэффициент"), 0.1, 1.0, deferred);
    parametr.setValue(0.5);
    parametr.setEditedValue(0.02);
    QCOMPARE(parametr.editedValue(), 0.1);
    QCOMPARE(parametr.valueText(), QString("0,1"));
    parametr.revertEdited();
    QCOMPARE(parametr.valueText(), QString("0,5"));
    parametr.setEditedValue(0.75);
    parametr.applyEdited();
    QCOMPARE(parametr.value(), 0.75);

    parametr.setValue(5.0);
    QCOMPARE(parametr.value(), 1.0);
    parametr.setValue(std::numeric_limits<double>::quiet_NaN());
    QCOMPARE(parametr.value(), 1.0);
    parametr.setValue(-std::numeric_limits<double>::infinity());
    QCOMPARE(parametr.value(), 0.1);
}

void TestParameters::enumTextsAndItemList()
{
    ItemList list(2);
    ParametrEnum parametr(QStringLiteral("Выбор"), &list.items, immediate);
    parametr.setValue(5);
    QCOMPARE(parametr.valueText(), QString("<5>"));
    QCOMPARE(parametr.currentIndex(), -1);
    parametr.setItems(&list.items);
    QCOMPARE(parametr.value(), 0);
    QCOMPARE(parametr.editedValue(), 0);
    QCOMPARE(parametr.valueText(), QString("п0"));

    parametr.setValue(1);
    ItemList longer(3);
    parametr.setItems(&longer.items);
    QCOMPARE(parametr.value(), 1);
    QCOMPARE(parametr.currentIndex(), 1);

    parametr.setFlag(HAbstractParametr::DeferredEdit);
    parametr.setEditedValue(2);
    QCOMPARE(parametr.valueText(), QString("п2"));
    parametr.revertEdited();
    QCOMPARE(parametr.currentIndex(), 1);

    const QList<ParametrEnumItem*> empty;
    parametr.setValue(7);
    parametr.setItems(&empty);
    QCOMPARE(parametr.value(), 7);
    QCOMPARE(parametr.valueText(), QString("<7>"));
}

void TestParameters::stringShowsCommittedText()
{
    ParametrString parametr(QStringLiteral("Номер"), 250, deferred);
    QCOMPARE(parametr.valueText(), QString());
    QCOMPARE(parametr.storedOption(), 250);
    parametr.setValue(QStringLiteral("П-1"));
    parametr.setEditedValue(QStringLiteral("П-2"));
    QCOMPARE(parametr.valueText(), QString("П-1"));
    parametr.revertEdited();
    QCOMPARE(parametr.editedValue(), QString("П-1"));
    parametr.setEditedValue(QStringLiteral("П-3"));
    parametr.applyEdited();
    QCOMPARE(parametr.valueText(), QString("П-3"));
}

void TestParameters::multiEnumTexts()
{
    ItemList three(3);
    ParametrMultiEnum parametr(QStringLiteral("Каналы"), &three.items, immediate);
    QCOMPARE(parametr.valueText(), QString("Нажмите для выбора"));
    parametr.selectAll();
    QCOMPARE(parametr.valueText(), QString("[1] ,[2] ,[3]"));
    parametr.setShowTexts(true);
    QCOMPARE(parametr.valueText(), QString("[п0] ,[п1] ,[п2]"));
    QVERIFY(parametr.contains(2));
    QVERIFY(!parametr.contains(3));

    three.items.at(1)->value = 40;
    QCOMPARE(parametr.valueText(), QString("[п0] ,[] ,[п2]"));
    parametr.clear();
    QVERIFY(!parametr.contains(0));

    ItemList twelve(12);
    ParametrMultiEnum many(QStringLiteral("Каналы"), &twelve.items, immediate);
    many.selectAll();
    QString expected;
    for (int i = 1; i <= 11; ++i)
        expected += QStringLiteral("[%1] ,").arg(i);
    QCOMPARE(many.valueText(), expected);
    many.selectAll();
    QVERIFY(many.valueText().startsWith(expected));
}

void TestParameters::multiEnumLockAllowsReading()
{
    ItemList list(2);
    ParametrMultiEnum parametr(QStringLiteral("Каналы"), &list.items, immediate);
    parametr.selectAll();
    parametr.lock();
    QVERIFY(parametr.contains(1));
    QCOMPARE(parametr.valueText(), QString("[1] ,[2]"));
    parametr.unlock();
}

void TestParameters::timeTexts_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("midnight") << QTime(0, 0) << QString("0 сек  ");
    QTest::newRow("hour and a half") << QTime(1, 30) << QString("1 час  30 мин  ");
    QTest::newRow("hours and seconds") << QTime(2, 0, 3) << QString("2 час  3 сек  ");
    QTest::newRow("fraction") << QTime(0, 0, 7, 500) << QString("7.5 сек  ");
    QTest::newRow("milliseconds only") << QTime(0, 5, 0, 20) << QString("5 мин  0.02 сек  ");
    QTest::newRow("invalid") << QTime() << QString();
}

void TestParameters::timeTexts()
{
    QFETCH(QTime, time);
    QFETCH(QString, text);
    ParametrTime parametr(QStringLiteral("Время"), immediate);
    parametr.setValue(time);
    QCOMPARE(parametr.valueText(), text);
}

void TestParameters::timeLimitsAndEdit()
{
    ParametrTime parametr(QStringLiteral("Время"), deferred);
    QCOMPARE(parametr.minimum(), QTime(0, 0));
    QCOMPARE(parametr.maximum(), QTime(23, 59, 59, 999));
    QVERIFY(!parametr.value().isValid());
    parametr.setValue(QTime(23, 59, 59, 999));
    QCOMPARE(parametr.value(), QTime(23, 59, 59, 999));

    parametr.setEditedValue(QTime(0, 10));
    QCOMPARE(parametr.valueText(), QString("10 мин  "));
    parametr.revertEdited();
    QCOMPARE(parametr.editedValue(), QTime(23, 59, 59, 999));
    parametr.setEditedValue(QTime(0, 10));
    parametr.applyEdited();
    QCOMPARE(parametr.value(), QTime(0, 10));

    ParametrTime bounded(QStringLiteral("Пауза"), QTime(0, 0, 1), QTime(0, 1), immediate);
    bounded.setValue(QTime(0, 0));
    QCOMPARE(bounded.value(), QTime(0, 0, 1));
    bounded.setEditedValue(QTime(1, 0));
    QCOMPARE(bounded.editedValue(), QTime(0, 1));
}

void TestParameters::dateTimeTextAndDeviceBytes()
{
    ParametrDateTime parametr(QStringLiteral("Часы"), immediate);
    QVERIFY(!parametr.value().isValid());
    QCOMPARE(parametr.valueText(), QString());

    parametr.setValue(QDateTime(QDate(2024, 3, 6), QTime(9, 5, 7)));
    QCOMPARE(parametr.valueText(), QString("6.3.2024  9:5:7"));

    quint8 bytes[ParametrDateTime::deviceByteCount] = {};
    parametr.setValue(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)));
    parametr.toDeviceBytes(bytes);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(bytes), 6), QByteArray("\x00\x0c\x1f\x17\x3b\x3a", 6));

    const quint8 device[ParametrDateTime::deviceByteCount] = {24, 3, 6, 9, 5, 7};
    parametr.fromDeviceBytes(device);
    QCOMPARE(parametr.value(), QDateTime(QDate(2024, 3, 6), QTime(9, 5, 7), Qt::LocalTime));
    parametr.toDeviceBytes(bytes);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(bytes), 6),
             QByteArray(reinterpret_cast<const char*>(device), 6));
}

void TestParameters::channelStyleDefaultsAndColours()
{
    ParametrChannelStyle style(QStringLiteral("Канал"), immediate);
    QCOMPARE(style.lineWidth(), quint8(1));
    QCOMPARE(style.penWidth(), 1.0);
    QCOMPARE(style.lineColor(), QColor(Qt::black));
    QCOMPARE(style.fillColor(), QColor(Qt::transparent));
    QCOMPARE(style.valueText(), QString());

    style.setLineWidth(0);
    QCOMPARE(style.penWidth(), 0.5);
    style.setLineColor(Qt::red);
    style.setFillColor(Qt::blue);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QCOMPARE(style.palette().color(group, QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(style.palette().color(group, QPalette::Window), QColor(Qt::blue));
    }
}

QTEST_GUILESS_MAIN(TestParameters)
#include "test_parameters.moc"
