#pragma once

#include <QObject>
#include <QString>
#include <memory>

class ChannelRecord;
class DeviceSettings;
class ProtocolFiller;
class ResultsModel;
class VerificationSettings;
class XlsxWorkbook;
class XlsxWorksheet;

// Writes the verification protocol of one device by filling the XLSX template of the verification
// settings. Uses no widget, runs in the GUI thread and is not re-entrant: one save at a time.
class ExcelSaver : public QObject
{
    Q_OBJECT
public:
    // Passes visit rows and columns 1 to this.
    static constexpr int lastHandledCell = 999;

    explicit ExcelSaver(QObject* parent = nullptr);
    ~ExcelSaver() override;

    // Also takes the calibrator's settings block from the device object, when there is one.
    void setChannel(ChannelRecord* channel);
    void setDeviceSettings(DeviceSettings* settings);
    void setResultsModel(ResultsModel* model);
    void setVerificationSettings(VerificationSettings* settings);
    // Replaces the program's placeholder handlers; a null filler leaves the sheets triaged but unfilled.
    void setFiller(std::unique_ptr<ProtocolFiller> filler);

    // Nothing is written when the template is missing or broken (in any part the save edits or
    // reads), list rows cannot be inserted, a cell write fails or no sheet is filled.
    bool save(const QString& outputPath);
    QString errorString() const { return m_error; }

    ChannelRecord* channel() const { return m_channel; }
    ResultsModel* resultsModel() const { return m_results; }
    DeviceSettings* deviceSettings() const { return m_deviceSettings; }
    VerificationSettings* verificationSettings() const { return m_settings; }

    // Cell primitives of the handlers, on the sheet being filled; written text keeps the cell's style.
    bool writeCell(int row, int column, const QString& text);
    static void appendListItem(QString& list, const QString& item);
    // A refusal (rows that would leave the sheet) ends the save with the markup error.
    void insertListRows(int row, int count);
    XlsxWorkbook* document() const { return m_document.get(); }
    XlsxWorksheet* currentSheet() const { return m_sheet; }

private:
    bool fail(const QString& text);
    bool failMarkup(const QString& reason);
    bool openTemplate(const QString& path);
    bool handleSheets();
    bool fillSheet(int index);
    bool scalarPass();
    bool listPass();
    bool writeProtocol(const QString& templatePath, const QString& outputPath);

    QString m_error;
    VerificationSettings* m_settings = nullptr;
    ResultsModel* m_results = nullptr;
    DeviceSettings* m_deviceSettings = nullptr;
    ChannelRecord* m_channel = nullptr;
    std::unique_ptr<ProtocolFiller> m_filler;
    // Valid during one save only.
    std::unique_ptr<XlsxWorkbook> m_document;
    XlsxWorksheet* m_sheet = nullptr;
    bool m_anySheetFilled = false;
    // Why list rows could not be inserted; the pass ends the save on it.
    QString m_refusedRows;
};
