#include "ExcelSaver.h"

#include "DeviceZFN.h"
#include "ProtocolPlaceholders.h"
#include "ProtocolSheetRule.h"
#include "VerificationSettings.h"
#include "XlsxWorkbook.h"
#include "XlsxWorksheet.h"

#include <QDebug>
#include <QFileInfo>

namespace {

// The template is only ever read: an output that is the template itself is refused.
bool isSameFile(const QString& templatePath, const QString& outputPath)
{
    const QFileInfo output(outputPath);
    const QFileInfo source(templatePath);
    if (output.exists())
        return output.canonicalFilePath() == source.canonicalFilePath();
    return output.absoluteFilePath() == source.absoluteFilePath();
}

}  // namespace

ExcelSaver::ExcelSaver(QObject* parent)
    : QObject(parent)
    , m_filler(std::make_unique<ProtocolPlaceholders>())
{
}

ExcelSaver::~ExcelSaver() = default;

void ExcelSaver::setChannel(ChannelRecord* channel)
{
    m_channel = channel;
    if (g_device)
        m_deviceSettings = g_device->deviceSettings();
}

void ExcelSaver::setDeviceSettings(DeviceSettings* settings)
{
    m_deviceSettings = settings;
}

void ExcelSaver::setResultsModel(ResultsModel* model)
{
    m_results = model;
}

void ExcelSaver::setVerificationSettings(VerificationSettings* settings)
{
    m_settings = settings;
}

void ExcelSaver::setFiller(std::unique_ptr<ProtocolFiller> filler)
{
    m_filler = std::move(filler);
}

bool ExcelSaver::fail(const QString& text)
{
    m_error = text;
    m_document.reset();
    m_sheet = nullptr;
    return false;
}

bool ExcelSaver::failMarkup(const QString& reason)
{
    qDebug() << "ExcelSaver::save::MARKUP ERROR" << reason;
    return fail(tr("Ошибка разметки файла шаблона!"));
}

bool ExcelSaver::save(const QString& outputPath)
{
    m_error.clear();
    m_refusedRows.clear();
    m_anySheetFilled = false;
    const QString templatePath = m_settings ? m_settings->templatePath() : QString();
    qDebug() << "ExcelSaver::save::TEMPLATE" << templatePath;
    const QFileInfo info(templatePath);
    if (!info.exists() || !info.isFile())
        return fail(tr("Ошибка при поиске файла шаблона!"));
    if (!openTemplate(templatePath))
        return false;
    if (m_filler)
        m_filler->computeGroups(*this);
    qDebug() << "ExcelSaver::save::START HANDLE";
    if (!handleSheets())
        return false;
    if (!m_document->setActiveSheet(0))
        return failMarkup(m_document->errorString());
    if (!m_anySheetFilled)
        return fail(tr("Ошибка разметки файла шаблона!"));
    return writeProtocol(templatePath, outputPath);
}

bool ExcelSaver::openTemplate(const QString& path)
{
    m_document = std::make_unique<XlsxWorkbook>();
    m_sheet = nullptr;
    return m_document->openFile(path) || failMarkup(m_document->errorString());
}

bool ExcelSaver::handleSheets()
{
    const bool allConform = m_filler && m_filler->allGroupsConform();
    for (int i = 0; i < m_document->sheetCount(); ++i) {
        qDebug() << "ExcelSaver::save::HANDLE SHEET" << i;
        const QString name = m_document->sheetNames().at(i);
        const ProtocolSheetRule rule(name, allConform);
        if (rule.isDropped()) {
            if (m_document->sheetCount() > 1 && m_document->deleteSheet(i))
                --i;
            continue;
        }
        // A name the workbook refuses leaves the sheet under its old one; it is filled all the same.
        if (!rule.newName().isEmpty() && !m_document->renameSheet(i, rule.newName()))
            qDebug() << "ExcelSaver::save::RENAME REFUSED" << name << m_document->errorString();
        if (!fillSheet(i))
            return false;
    }
    return true;
}

bool ExcelSaver::fillSheet(int index)
{
    m_sheet = m_document->worksheet(index);
    if (!m_sheet)
        return failMarkup(m_document->errorString());
    if (m_filler)
        m_filler->resetListCursors();
    m_anySheetFilled = true;
    return scalarPass() && listPass();
}

// Rows that a handler inserts below the current one are asked for next, so they are visited too.
bool ExcelSaver::scalarPass()
{
    for (int row = m_sheet->nextRow(0); row != 0 && row <= lastHandledCell; row = m_sheet->nextRow(row)) {
        for (int column = m_sheet->nextColumn(row, 0); column != 0 && column <= lastHandledCell;
             column = m_sheet->nextColumn(row, column)) {
            QString text = m_sheet->cellText(row, column);
            if (m_filler && !m_filler->replaceScalarPlaceholders(*this, text, row, column))
                return fail(tr("Ошибка записи параметра!"));
            if (!m_refusedRows.isEmpty())
                return failMarkup(m_refusedRows);
        }
    }
    return true;
}

bool ExcelSaver::listPass()
{
    for (int row = m_sheet->nextRow(0); row != 0 && row <= lastHandledCell; row = m_sheet->nextRow(row)) {
        for (int column = m_sheet->nextColumn(row, 0); column != 0 && column <= lastHandledCell;
             column = m_sheet->nextColumn(row, column)) {
            if (m_filler && !m_filler->replaceListPlaceholders(*this, m_sheet->cellText(row, column), row, column))
                return fail(tr("Ошибка записи параметра!"));
        }
    }
    return true;
}

bool ExcelSaver::writeProtocol(const QString& templatePath, const QString& outputPath)
{
    const bool saved = !isSameFile(templatePath, outputPath) && m_document->save(outputPath);
    if (!saved)
        qDebug() << "ExcelSaver::save::SAVE ERROR" << outputPath << m_document->errorString();
    m_document.reset();
    m_sheet = nullptr;
    return saved || fail(tr("Ошибка при сохранении протокола!"));
}

bool ExcelSaver::writeCell(int row, int column, const QString& text)
{
    return m_sheet && m_sheet->writeString(row, column, text);
}

void ExcelSaver::appendListItem(QString& list, const QString& item)
{
    if (!item.isEmpty())
        list += item + QStringLiteral("; ");
}

// A list without its rows would overwrite what stands below it: the pass ends the save.
void ExcelSaver::insertListRows(int row, int count)
{
    if (m_sheet && !m_sheet->insertRowCopies(row, count))
        m_refusedRows = QStringLiteral("%1: %2 rows below row %3 would leave the sheet")
                            .arg(m_sheet->partName()).arg(count).arg(row);
}
