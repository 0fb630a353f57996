#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Reads temperature, humidity and atmospheric pressure from the thermohygrometer through its
// exchange library "VornaExchange", loaded from the program's folder (never the current one).
// The values are NaN until a reading succeeds and keep the last good reading after a failure.
class HidHandler : public QObject
{
    Q_OBJECT
public:
    static constexpr int valueCount = 3;
    static constexpr int serialLength = 8;

    explicit HidHandler(QObject* parent = nullptr);
    ~HidHandler() override;

    // False, with the values unchanged, when the library or its function is missing, the library
    // reports failure or delivers a value that is not finite, or the serial cannot be sent.
    bool read(const QString& serialNumber);
    // Temperature, humidity, pressure.
    const float* values() const { return m_values; }
    // At most eight printable ASCII characters, left-padded with "0" to eight.
    static bool serialAcceptable(const QString& serialNumber);
    static QByteArray serialText(const QString& serialNumber);

    // The folder the library is loaded from; empty means the program's folder.
    void setLibraryFolder(const QString& folder) { m_libraryFolder = folder; }
    QString libraryPath() const;

private:
    float m_values[valueCount];
    QString m_libraryFolder;
};

extern HidHandler* g_hidHandler;
