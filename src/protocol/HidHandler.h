#pragma once

#include <QObject>

// Reads ambient conditions from the thermohygrometer; NaN until a reading arrives.
class HidHandler : public QObject
{
    Q_OBJECT
public:
    explicit HidHandler(QObject* parent = nullptr);
    ~HidHandler() override;

    float temperature;
    float humidity;
    float pressure;
};

extern HidHandler* g_hidHandler;
