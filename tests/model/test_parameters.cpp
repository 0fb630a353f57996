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

struct ItemList
{
    explicit ItemList(int count)
    {
        for (int i = 0; i < count; ++i)
            items.append(new ParametrEnumItem(QStringLiteral("п%1").arg(i), i));
    }
    ~ItemList() { qDeleteAll(items); }
    QList<ParametrEnumItem*> items;
};

// A deferred parameter shows its edited value until it is reverted or applied; without the flag it
// shows the committed one, and a new committed value resets the edit.
template <typename Parametr, typename Value>
void checkDeferredEdit(Parametr& parametr, const Value& committed, const Value& edited, const QString& committedText,
                       const QString& editedText)
{
    parametr.setValue(committed);
    parametr.setEditedValue(edited);
    QCOMPARE(parametr.valueText(), editedText);
    QCOMPARE(parametr.value(), committed);
    parametr.revertEdited();
    QCOMPARE(parametr.valueText(), committedText);
    QCOMPARE(parametr.editedValue(), committed);
    parametr.setEditedValue(edited);
    parametr.applyEdited();
    QCOMPARE(parametr.value(), edited);
    parametr.setValue(committed);
    QCOMPARE(parametr.editedValue(), committed);
    parametr.setEditedValue(edited);
    parametr.clearFlag(HAbstractParametr::DeferredEdit);
    QCOMPARE(parametr.valueText(), committedText);
}

}  // namespace

class TestParameters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // A caption given by reference follows the text it refers to; an own caption is a copy.
    void captionsAndFlags()
    {
        QString text = QStringLiteral("Давление");
        ParametrInt referenced(text, 0, 10, 0);
        auto owned = std::make_unique<ParametrString>(text, 10, HAbstractParametr::OwnCaption);
        text = QStringLiteral("Ток");
        QCOMPARE(referenced.caption() + owned->caption(), QString("ТокДавление"));
        owned->setFlag(HAbstractParametr::DeferredEdit);
        QVERIFY(!owned->showsCommitted());
    }

    void deferredEditOfEachType()
    {
        ParametrInt number(QStringLiteral("Число"), 0, 100, deferred);
        checkDeferredEdit(number, 3, 5, "3", "5");
        ParametrDouble real(QStringLiteral("Коэффициент"), 0.1, 1.0, deferred);
        checkDeferredEdit(real, 0.5, 0.75, "0,5", "0,75");
        ParametrString string(QStringLiteral("Номер"), 250, deferred);
        checkDeferredEdit(string, QStringLiteral("П-1"), QStringLiteral("П-3"), "П-1", "П-1");
        ParametrTime time(QStringLiteral("Время"), deferred);
        checkDeferredEdit(time, QTime(23, 59, 59, 999), QTime(0, 10), "23 час  59 мин  59.999 сек  ", "10 мин  ");
    }

    void limits()
    {
        ParametrInt number(QStringLiteral("Число"), 0, 255, deferred);
        number.setValue(300);
        QCOMPARE(number.value(), 255);
        number.setValue(-1);
        QCOMPARE(number.value(), 0);
        number.setEditedValue(1000);
        QCOMPARE(number.editedValue(), 255);
        number.setValue(171);
        QCOMPARE(number.hexText(true) + number.hexText(false), QString("0xAB171"));

        ParametrDouble real(QStringLiteral("Коэффициент"), 0.1, 1.0, deferred);
        real.setEditedValue(0.02);
        QCOMPARE(real.editedValue(), 0.1);
        real.setValue(5.0);
        real.setValue(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(real.value(), 1.0);
        real.setValue(-std::numeric_limits<double>::infinity());
        QCOMPARE(real.value(), 0.1);
        ParametrDouble open(QStringLiteral("Без границ"), ParametrDouble::unbounded, ParametrDouble::unbounded, immediate);
        open.setValue(1234567.0);
        QCOMPARE(open.valueText(), QString("1,23457e+06"));
        open.setValue(-std::numeric_limits<double>::max());
        QCOMPARE(open.value(), -std::numeric_limits<double>::max());

        ParametrTime bounded(QStringLiteral("Пауза"), QTime(0, 0, 1), QTime(0, 1), immediate);
        bounded.setValue(QTime(0, 0));
        QCOMPARE(bounded.value(), QTime(0, 0, 1));
        bounded.setEditedValue(QTime(1, 0));
        QCOMPARE(bounded.editedValue(), QTime(0, 1));
    }

    void choicesFollowTheirItemLists()
    {
        ItemList list(2);
        ParametrEnum parametr(QStringLiteral("Выбор"), &list.items, immediate);
        parametr.setValue(5);
        QCOMPARE(parametr.valueText(), QString("<5>"));
        QCOMPARE(parametr.currentIndex(), -1);
        parametr.setItems(&list.items);
        QCOMPARE(parametr.value(), 0);
        QCOMPARE(parametr.valueText(), QString("п0"));
        parametr.setValue(1);
        ItemList longer(3);
        parametr.setItems(&longer.items);
        QCOMPARE(parametr.currentIndex(), 1);
        parametr.setFlag(HAbstractParametr::DeferredEdit);
        parametr.setEditedValue(2);
        QCOMPARE(parametr.valueText(), QString("п2"));
        parametr.revertEdited();
        QCOMPARE(parametr.currentIndex(), 1);
        const QList<ParametrEnumItem*> empty;
        parametr.setValue(7);
        parametr.setItems(&empty);
        QCOMPARE(parametr.valueText(), QString("<7>"));

        ParametrMultiEnum multi(QStringLiteral("Каналы"), &longer.items, immediate);
        QCOMPARE(multi.valueText(), QString("Нажмите для выбора"));
        multi.selectAll();
        multi.lock();
        QCOMPARE(multi.valueText(), QString("[1] ,[2] ,[3]"));
        QVERIFY(multi.contains(2) && !multi.contains(3));
        multi.unlock();
        multi.setShowTexts(true);
        longer.items.at(1)->value = 40;
        QCOMPARE(multi.valueText(), QString("[п0] ,[] ,[п2]"));
        multi.clear();
        QVERIFY(!multi.contains(0));

        ItemList twelve(12);
        ParametrMultiEnum many(QStringLiteral("Каналы"), &twelve.items, immediate);
        many.selectAll();
        QVERIFY(many.valueText().endsWith(QStringLiteral("[10] ,[11] ,")));
    }

    void timeAndDateTexts()
    {
        ParametrTime time(QStringLiteral("Время"), immediate);
        QStringList texts;
        for (const QTime& value : {QTime(0, 0), QTime(2, 0, 3), QTime(0, 5, 0, 20), QTime()}) {
            time.setValue(value);
            texts << time.valueText();
        }
        QCOMPARE(texts, QStringList({"0 сек  ", "2 час  3 сек  ", "5 мин  0.02 сек  ", ""}));

        ParametrDateTime parametr(QStringLiteral("Часы"), immediate);
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
        QCOMPARE(QByteArray(reinterpret_cast<char*>(bytes), 6), QByteArray(reinterpret_cast<const char*>(device), 6));
    }

    void channelStyleColours()
    {
        ParametrChannelStyle style(QStringLiteral("Канал"), immediate);
        style.setLineWidth(0);
        QCOMPARE(style.penWidth(), 0.5);
        style.setLineColor(Qt::red);
        QCOMPARE(style.palette().color(QPalette::Disabled, QPalette::WindowText), QColor(Qt::red));
    }
};

QTEST_GUILESS_MAIN(TestParameters)
#include "test_parameters.moc"
