#pragma once

#include <QWidget>

class HartDeviceData;
class Ui_TabHartInformation;

// The identity page of a HART transmitter: what commands 0, 12, 13 and 20 report, the writes of
// tag, descriptor, date, message, preambles and long tag, the polling address, a restart and the
// reset of the configuration-changed flag. Every display operation takes the record published with
// the result that triggered it.
class TabHartInformation : public QWidget
{
    Q_OBJECT
public:
    explicit TabHartInformation(QWidget* parent = nullptr);
    ~TabHartInformation() override;

    void showIdentity(const HartDeviceData& data);
    void showPollingAddress(const HartDeviceData& data);
    void showHartMessage(const HartDeviceData& data);
    void showTagDescriptorDate(const HartDeviceData& data);
    void showLongTag(const HartDeviceData& data, bool supported);
    void enableWriteButtons(bool readSucceeded);

public slots:
    void read(bool showMessages = true);
    void write();
    void readDeviceAdress();
    void writeDeviceAdress();
    void restartDevice();
    void clearConfigurationChangedFlag();
    void showAditionalStatus();

private:
    struct Edits;

    bool collectEdits(Edits& edits);
    bool packField(QWidget* field, const QString& text, quint8* out, int byteCount);
    bool refuse(QWidget* field);
    void resetFields();
    void setupFieldWidths();

    Ui_TabHartInformation* ui;
};
