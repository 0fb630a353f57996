#include "DoubleSpinBoxAditional.h"

#include <QLineEdit>
#include <QtTest>

class TestDoubleSpinBoxAditional : public QObject
{
    Q_OBJECT
private slots:
    // "typed" is the value after the operator types 1 in front of the shown text and presses Enter:
    // the suffix stays in the field while the number before it is edited.
    void textRoundTrip_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("typed");
        QTest::newRow("no suffix") << 2 << "" << 12.5 << "12.50" << 112.5;
        QTest::newRow("unit") << 3 << " кПа" << 3.125 << "3.125 кПа" << 13.125;
        QTest::newRow("rounded up") << 1 << "%" << 99.96 << "100.0%" << 1100.0;
        QTest::newRow("no decimals") << 0 << " шт" << 7.0 << "7 шт" << 17.0;
        QTest::newRow("sign first") << 2 << " мА" << -2.5 << "-2.50 мА" << -2.5;
    }

    void textRoundTrip()
    {
        QFETCH(int, decimals);
        QFETCH(QString, suffix);
        QFETCH(double, value);
        QFETCH(QString, text);
        QFETCH(double, typed);
        DoubleSpinBoxAditional spin;
        spin.setRange(-1e6, 1e6);
        spin.setDecimals(decimals);
        spin.setValue(value);
        spin.setSuffixText(suffix);
        QCOMPARE(spin.suffixText(), suffix);
        QCOMPARE(spin.text(), text);
        QCOMPARE(spin.textFromValue(value), text);
        QCOMPARE(spin.valueFromText(text), spin.value());
        QString input = text;
        int pos = input.size();
        QCOMPARE(spin.validate(input, pos), QValidator::Acceptable);

        QTest::keyClick(&spin, Qt::Key_Home);
        QTest::keyClicks(&spin, "1");
        QTest::keyClick(&spin, Qt::Key_Enter);
        QCOMPARE(spin.value(), typed);
        QCOMPARE(spin.text(), spin.textFromValue(typed));
    }
};

QTEST_MAIN(TestDoubleSpinBoxAditional)
#include "test_double_spin_box_aditional.moc"
