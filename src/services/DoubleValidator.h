#pragma once

#include <QValidator>
#include <optional>

class QRegExpValidator;

// The validator of every numeric line edit: a comma turns into a point as the user types, and only
// the empty text or a complete, finite number is acceptable; a number still being typed ("-", "1e-")
// is intermediate, so a field never hands on half a number.
class DoubleValidator : public QValidator
{
    Q_OBJECT
public:
    explicit DoubleValidator(QObject* parent);

    State validate(QString& input, int& pos) const override;

    // The number a field's text stands for (a comma taken as the point), or nothing when the text is
    // empty, incomplete or not finite.
    static std::optional<double> number(QString text);

private:
    QRegExpValidator* regExpValidator;
};
