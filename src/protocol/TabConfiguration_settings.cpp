#include "TabConfiguration.h"

#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "ComboBoxDelegate.h"
#include "ConfiguratorModule.h"
#include "DeviceSettings.h"
#include "DeviceZFN.h"
#include "EditField.h"
#include "HAbstractParametr.h"
#include "HButton.h"
#include "HidHandler.h"
#include "ModelTemplates.h"
#include "ParametrDouble.h"
#include "PrField.h"
#include "PressureUnits.h"
#include "ResultsModel.h"
#include "SerialNumberEditor.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "ui_TabConfiguration.h"

#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <cmath>

namespace {

constexpr int verificationReadOperation = 2;
constexpr int startReadMode = 1;

// A whole number of the conditions, halves away from zero.
QString roundedText(float value)
{
    return QString::number(std::round(double(value)), 'f', 0);
}

// A complete, finite number; a decimal comma counts as a point.
bool parseNumber(const QVariant& cell, double& value)
{
    QString text = cell.toString().trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

QString listItem(const QStringList& list, int index)
{
    return index >= 0 && index < list.size() ? list.at(index) : TextDiscription::noValue;
}

quint8 listIndex(const QStringList& list, const QVariant& cell)
{
    return quint8(list.indexOf(cell.toString()));
}

VerificationSettings& settings()
{
    return *g_verificationSettings;
}

}  // namespace

bool TabConfiguration::applySettings()
{
    return applySettings(false);
}

void TabConfiguration::loadSettings()
{
    m_trackChanges = false;
    for (HAbstractParametr* parametr : qAsConst(m_parameters))
        parametr->revertEdited();
    for (PrField* field : qAsConst(m_fieldRows))
        field->reload();
    loadConditions();
    settings().txtProtocolName = m_templateModel->defaultTemplate(settings().txtProtocolName);
    m_selectedTemplate = settings().txtProtocolName;
    m_templateCombo->setCurrentText(m_selectedTemplate);
    m_form->comboBox_modelTZS->setCurrentIndex(settings().modelTZS);
    m_form->comboBox_accuracyClass->setCurrentIndex(settings().tzsAccuracyClass);
    loadSensorRow();
    ComboBoxDelegate* previous = m_nameDelegate;
    m_nameDelegate = new ComboBoxDelegate(this, &TextDiscription::lstChannelsNames, true,
                                          TextDiscription::lstBuiltInChannelNames);
    m_form->tableView->setItemDelegateForColumn(NameColumn, m_nameDelegate);
    if (previous)
        previous->deleteLater();
    m_form->doubleSpinBox_etalonDelta->setValue(settings().etalonDelta);
    m_form->doubleSpinBox_infoPointNum->setValue(settings().indicatorCoff);
    m_form->lineEdit_glak_serial->setText(settings().glakSerialNumber);
    m_form->comboBox_glak_readmode->setCurrentIndex(settings().glakReadMode);
    clearItemsSelection();
    m_trackChanges = true;
}

// The module serial is loaded too, so that an Apply keeps the one the project holds.
void TabConfiguration::loadConditions()
{
    const VerificationSettings& record = settings();
    m_form->lineEdit_temperature->setText(record.temperature);
    m_form->lineEdit_humidity->setText(record.humidity);
    m_form->lineEdit_atmosphericPressure->setText(record.atmPressure);
    m_form->comboBox_atmosphericPressureMeasure->setCurrentText(record.atmPressureUnits);
    m_form->lineEdit_verificatorName->setText(record.verificatorName);
    m_form->lineEdit_verificatorPos->setText(record.verificatorPos);
    m_form->lineEdit_chefName->setText(record.chefName);
    m_form->lineEdit_chefPos->setText(record.chefPos);
    m_calibratorSerialEditor->setValue(record.lmvIdNumber);
    bool ok = false;
    const int moduleSerial = record.etalonIdString.toInt(&ok);
    m_moduleSerialEditor->setValue(ok ? moduleSerial : 0);
}

void TabConfiguration::loadSensorRow()
{
    ChannelRecord channel;
    {
        QMutexLocker lock(g_device->mutex());
        ChannelRecord* current = g_device->currentChannel();
        current->updateOutputRange();
        channel = *current;
    }
    setCell(NameColumn, channel.name);
    setCell(ModelColumn, channel.model);
    setCell(SerialColumn, channel.serial);
    setCell(LowerColumn, channel.rangeLow);
    setCell(UpperColumn, channel.rangeHigh);
    setCell(UnitColumn, unitName(channel.unit));
    setCell(OutputColumn, listItem(TextDiscription::lstOutputs, channel.outputType));
    setCell(CharacteristicColumn, listItem(TextDiscription::lstCharacteristics, channel.characteristic));
    setCell(AllowedErrorColumn, channel.allowedError);
}

bool TabConfiguration::applySettings(bool quiet)
{
    const int badColumn = firstBadSensorColumn();
    if (badColumn >= 0) {
        refuseCell(badColumn);
        return false;
    }
    m_trackChanges = false;
    for (HAbstractParametr* parametr : qAsConst(m_parameters))
        parametr->applyEdited();
    for (PrField* field : qAsConst(m_fieldRows))
        field->reload();
    applyConditions();
    applyTemplateName();
    applySensorRow();
    emit changeMeasureType(0);
    g_device->resultsModel()->setCoefficient(settings().prAnalysisCoeffAccuracy->value());
    clearItemsSelection();
    m_trackChanges = true;
    if (!quiet)
        g_device->showPopUpMessage(tr("Настройки применены."));
    return true;
}

void TabConfiguration::applyConditions()
{
    VerificationSettings& record = settings();
    record.temperature = m_form->lineEdit_temperature->text();
    record.humidity = m_form->lineEdit_humidity->text();
    record.atmPressure = m_form->lineEdit_atmosphericPressure->text();
    record.atmPressureUnits = m_form->comboBox_atmosphericPressureMeasure->currentText();
    record.verificatorName = m_form->lineEdit_verificatorName->text();
    record.verificatorPos = m_form->lineEdit_verificatorPos->text();
    record.chefName = m_form->lineEdit_chefName->text();
    record.chefPos = m_form->lineEdit_chefPos->text();
    record.lmvIdNumber = m_calibratorSerialEditor->value();
    record.etalonIdString = m_moduleSerialEditor->text();
    if (m_form->comboBox_modelTZS->currentIndex() >= 0) {
        record.modelTZS = quint8(m_form->comboBox_modelTZS->currentIndex());
        record.etalonModelText = m_form->comboBox_modelTZS->currentText();
    }
    if (m_form->comboBox_accuracyClass->currentIndex() >= 0)
        record.tzsAccuracyClass = quint8(m_form->comboBox_accuracyClass->currentIndex());
    record.accuracyClassText = m_form->comboBox_accuracyClass->currentText();
    record.etalonDelta = m_form->doubleSpinBox_etalonDelta->value();
    record.indicatorCoff = m_form->doubleSpinBox_infoPointNum->value();
    record.glakSerialNumber = m_form->lineEdit_glak_serial->text();
    record.glakReadMode = m_form->comboBox_glak_readmode->currentIndex();
}

// A name that is no longer in the folder falls back to the first file, or to none.
void TabConfiguration::applyTemplateName()
{
    QString& name = settings().txtProtocolName;
    name = m_templateModel->defaultTemplate(m_selectedTemplate);
    m_selectedTemplate = name;
    m_templateCombo->setCurrentText(m_selectedTemplate);
}

void TabConfiguration::applySensorRow()
{
    double lower = 0, upper = 0, allowed = 0;
    parseNumber(cell(LowerColumn), lower);
    parseNumber(cell(UpperColumn), upper);
    parseNumber(cell(AllowedErrorColumn), allowed);
    ChannelRecord channel;
    {
        QMutexLocker lock(g_device->mutex());
        ChannelRecord* current = g_device->currentChannel();
        current->name = cell(NameColumn).toString();
        current->model = cell(ModelColumn).toString();
        current->serial = cell(SerialColumn).toString();
        current->rangeLow = lower;
        current->rangeHigh = upper;
        current->unit = listIndex(TextDiscription::lstUnits, cell(UnitColumn));
        current->outputType = listIndex(TextDiscription::lstOutputs, cell(OutputColumn));
        current->characteristic = listIndex(TextDiscription::lstCharacteristics, cell(CharacteristicColumn));
        current->allowedError = allowed;
        current->updateOutputRange();
        channel = *current;
    }
    g_device->channelsModel()->setRecord(0, channel);
}

// Column order, so the operator is led through the row from left to right.
int TabConfiguration::firstBadSensorColumn() const
{
    double lower = 0, upper = 0, allowed = 0;
    if (!parseNumber(cell(LowerColumn), lower))
        return LowerColumn;
    if (!parseNumber(cell(UpperColumn), upper) || upper == lower)
        return UpperColumn;
    const QPair<int, const QStringList*> lists[] = {{UnitColumn, &TextDiscription::lstUnits},
                                                    {OutputColumn, &TextDiscription::lstOutputs},
                                                    {CharacteristicColumn, &TextDiscription::lstCharacteristics}};
    for (const auto& list : lists)
        if (!list.second->contains(cell(list.first).toString()))
            return list.first;
    if (!parseNumber(cell(AllowedErrorColumn), allowed))
        return AllowedErrorColumn;
    return -1;
}

void TabConfiguration::refuseCell(int column)
{
    m_form->tableView->setCurrentIndex(m_devicesModel->index(0, column));
    m_form->tableView->setFocus();
    g_device->showPopUpMessage(tr("В выбранном поле содержатся неверные данные"));
}

void TabConfiguration::setCell(int column, const QVariant& value)
{
    m_devicesModel->setData(m_devicesModel->index(0, column), value, Qt::EditRole);
}

QVariant TabConfiguration::cell(int column) const
{
    return m_devicesModel->index(0, column).data(Qt::EditRole);
}

void TabConfiguration::setDeviceSerialNumber(unsigned int number)
{
    setCell(SerialColumn, number);
}

void TabConfiguration::readSettings()
{
    if (!g_device->readyToStart())
        return;
    m_highlightEnabled = false;
    g_device->startAlgorithm(verificationReadOperation, false, 0);
}

// A failed read fills nothing: what the calibrator did not deliver must not look like its answer.
void TabConfiguration::getAlgoritmResult(int id)
{
    if (id != verificationReadOperation)
        return;
    if (g_device->verificationReadSucceeded()) {
        ChannelRecord second;
        DeviceSettings block;
        {
            QMutexLocker lock(g_device->mutex());
            second = *g_device->secondChannel();
            block = *g_device->deviceSettings();
        }
        const int unit = block.verifiablePdUnitIndex();
        setCell(NameColumn, second.name);
        setCell(SerialColumn, block.u32At(DeviceSettings::VerifiedSerialByte));
        setCell(LowerColumn, PressureUnits::fromKpaFloat(quint8(unit), block.floatAt(DeviceSettings::VerifiedLowerByte)));
        setCell(UpperColumn, PressureUnits::fromKpaFloat(quint8(unit), block.floatAt(DeviceSettings::VerifiedUpperByte)));
        setCell(UnitColumn, unitName(unit));
        setCell(CharacteristicColumn, listItem(TextDiscription::lstCharacteristics, second.characteristic));
        setCell(OutputColumn, listItem(TextDiscription::lstOutputs, second.outputType));
        const double temperature = std::round(double(block.floatAt(DeviceSettings::ModuleTemperatureByte)));
        m_form->lineEdit_temperature->setText(QString::number(temperature, 'g', 6));
        m_calibratorSerialEditor->setValue(int(qMin(block.u32At(DeviceSettings::CalibratorSerialByte),
                                                    quint32(m_calibratorSerialEditor->maximum()))));
        m_moduleSerialEditor->setValue(int(qMin(block.u32At(DeviceSettings::ModuleSerialByte),
                                                quint32(m_moduleSerialEditor->maximum()))));
        m_form->comboBox_accuracyClass->setEditText(settings().accuracyClassText);
        const int moduleUnit = block.etalonUnitIndex() - 1;
        if (moduleUnit >= 0 && moduleUnit < m_form->comboBox_TzsMeasureUnit->count())
            m_form->comboBox_TzsMeasureUnit->setCurrentIndex(moduleUnit);
    }
    m_highlightEnabled = true;
    hilightSelectedItems();
}

bool TabConfiguration::readGlakConditions()
{
    if (!g_hidHandler || !g_hidHandler->read(settings().glakSerialNumber)) {
        g_device->showPopUpMessage(tr("Ошибка считывания: ГЛАК 7 М не найден!"));
        return false;
    }
    const float* values = g_hidHandler->values();
    m_form->lineEdit_temperature->setText(roundedText(values[0]));
    m_form->lineEdit_humidity->setText(roundedText(values[1]));
    m_form->lineEdit_atmosphericPressure->setText(roundedText(values[2]));
    m_form->comboBox_atmosphericPressureMeasure->setCurrentIndex(0);
    return true;
}

void TabConfiguration::onGlakReadButtonPressed()
{
    readGlakConditions();
}

bool TabConfiguration::readConditionsOnStart()
{
    if (settings().glakReadMode != startReadMode || !readGlakConditions())
        return false;
    VerificationSettings& record = settings();
    record.temperature = m_form->lineEdit_temperature->text();
    record.humidity = m_form->lineEdit_humidity->text();
    record.atmPressure = m_form->lineEdit_atmosphericPressure->text();
    record.atmPressureUnits = m_form->comboBox_atmosphericPressureMeasure->currentText();
    return true;
}

void TabConfiguration::accuracyClassChangged(const QString& text)
{
    double delta = 0.1;
    if (text == QLatin1String("A0"))
        delta = 0.02;
    else if (text == QLatin1String("A"))
        delta = 0.03;
    else if (text == QLatin1String("B"))
        delta = 0.05;
    m_form->doubleSpinBox_etalonDelta->setValue(delta);
}

// A text that is part of some names narrows the list to them; a whole name selects it.
void TabConfiguration::onTempateFilterTextChanged(const QString& text)
{
    bool exact = false;
    bool matched = false;
    for (int row = 0; row < m_templateModel->count(); ++row) {
        if (!m_templateModel->matchesFilter(row, text))
            continue;
        matched = true;
        if (m_templateModel->nameEquals(row, text)) {
            m_selectedTemplate = text;
            exact = true;
            break;
        }
    }
    // A filter that hides the shown entry makes the combo show another one; the typed text stays.
    QLineEdit* edit = m_templateCombo->lineEdit();
    const QSignalBlocker blocker(edit);
    m_templateProxy->setFilterFixedString(exact || !matched ? QString() : text);
    if (edit->text() != text)
        edit->setText(text);
}

void TabConfiguration::onButtonPressed()
{
    const auto* button = qobject_cast<const HButton*>(sender());
    if (!button)
        return;
    if (button->id() == TemplateFolderButton) {
        ConfiguratorModule::openFileOrFolder(VerificationSettings::templatesFolder());
        return;
    }
    m_templateModel->loadFolder();
    const QString& configured = settings().txtProtocolName;
    const QString name = m_templateModel->defaultTemplate(configured);
    if (name != configured)
        m_selectedTemplate = name;
    if (m_templateModel->contains(configured))
        m_templateCombo->setCurrentText(m_selectedTemplate);
}

void TabConfiguration::itemValueChanged()
{
    auto* widget = qobject_cast<QWidget*>(sender());
    if (!widget)
        return;
    const QByteArray className = widget->metaObject()->className();
    if (className == "QDoubleSpinBox" || className == "QSpinBox") {
        widget = widget->findChild<QLineEdit*>();
        if (!widget)
            return;
    }
    markChanged(m_changedWidgets, widget);
}

void TabConfiguration::fieldChanged()
{
    if (auto* field = qobject_cast<PrField*>(sender()))
        markChanged(m_changedFields, field);
}

// The marks' own background changes are not edits.
void TabConfiguration::tableItemDataChanged(const QModelIndex& topLeft, const QModelIndex&, const QVector<int>& roles)
{
    if (roles == QVector<int>{Qt::BackgroundRole})
        return;
    if (QStandardItem* item = m_devicesModel->item(0, topLeft.column()))
        markChanged(m_changedItems, item);
    fitTableWidth();
}

template <typename T>
void TabConfiguration::markChanged(QList<T*>& list, T* item)
{
    if (!m_trackChanges)
        return;
    if (!list.contains(item))
        list.append(item);
    if (m_highlightEnabled)
        hilightSelectedItems();
}

void TabConfiguration::hilightSelectedItems()
{
    paint(m_changedBrush);
    const bool changed = !m_changedItems.isEmpty() || !m_changedWidgets.isEmpty() || !m_changedFields.isEmpty();
    if (m_form->label_info_dataChanged->isHidden() && changed) {
        m_form->label_info_dataChanged->show();
        m_form->widget_buttonLite->setStyleSheet(QStringLiteral(".QWidget{background: #29F516;}"));
    }
}

void TabConfiguration::clearItemsSelection()
{
    paint(m_normalBrush);
    m_changedItems.clear();
    m_changedWidgets.clear();
    m_changedFields.clear();
    m_form->label_info_dataChanged->hide();
    m_form->widget_buttonLite->setStyleSheet(QStringLiteral(".QWidget{}"));
}

void TabConfiguration::paint(const QBrush& brush)
{
    for (QStandardItem* item : qAsConst(m_changedItems))
        item->setBackground(brush);
    QPalette palette = this->palette();
    if (brush == m_changedBrush)
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::ButtonText})
            palette.setBrush(role, QBrush(brush.color(), Qt::SolidPattern));
    for (QWidget* widget : qAsConst(m_changedWidgets)) {
        widget->setPalette(palette);
        widget->update();
    }
    for (PrField* field : qAsConst(m_changedFields))
        field->field()->setColor(brush.color());
}
