#include "DoubleValidator.h"

#include <QtTest>
#include <cmath>
#include <optional>

class TestDoubleValidator : public QObject
{
    Q_OBJECT
private slots:
    // nan in "number" stands for "no number".
    void validateAndNumber_data()
    {
        const double none = std::nan("");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("state");
        QTest::addColumn<double>("number");
        QTest::newRow("empty") << "" << "" << int(QValidator::Acceptable) << none;
        QTest::newRow("comma becomes point") << "12,5" << "12.5" << int(QValidator::Acceptable) << 12.5;
        QTest::newRow("second separator") << "1,2,3" << "1.2.3" << int(QValidator::Invalid) << none;
        QTest::newRow("lone minus") << "-" << "-" << int(QValidator::Intermediate) << none;
        QTest::newRow("lone point") << "." << "." << int(QValidator::Intermediate) << none;
        QTest::newRow("lone e") << "e" << "e" << int(QValidator::Intermediate) << none;
        QTest::newRow("open exponent") << "1e-" << "1e-" << int(QValidator::Intermediate) << none;
        QTest::newRow("upper-case exponent") << "1E5" << "1E5" << int(QValidator::Acceptable) << 1e5;
        QTest::newRow("negative exponent") << "2,5e-3" << "2.5e-3" << int(QValidator::Acceptable) << 0.0025;
        QTest::newRow("point after exponent") << "1e5.0" << "1e5.0" << int(QValidator::Invalid) << none;
        QTest::newRow("leading plus") << "+5" << "+5" << int(QValidator::Invalid) << none;
        QTest::newRow("no range") << "99999" << "99999" << int(QValidator::Acceptable) << 99999.0;
        QTest::newRow("fraction only") << ",25" << ".25" << int(QValidator::Acceptable) << 0.25;
        QTest::newRow("letters") << "12a" << "12a" << int(QValidator::Invalid) << none;
        QTest::newRow("beyond double") << "1e999" << "1e999" << int(QValidator::Intermediate) << none;
    }

    void validateAndNumber()
    {
        QFETCH(QString, input);
        QFETCH(QString, shown);
        QFETCH(int, state);
        QFETCH(double, number);
        QObject parent;
        DoubleValidator validator(&parent);
        QString text = input;
        int pos = text.size();
        QCOMPARE(int(validator.validate(text, pos)), state);
        QCOMPARE(text, shown);
        const std::optional<double> value = DoubleValidator::number(input);
        QCOMPARE(value.has_value(), !std::isnan(number));
        if (value)
            QCOMPARE(*value, number);
    }
};

QTEST_GUILESS_MAIN(TestDoubleValidator)
#include "test_double_validator.moc"
