#include "TabHartParametrs.h"

#include "DeviceZFN.h"
#include "DoubleValidator.h"
#include "HartChangeMask.h"
#include "HartDeviceData.h"
#include "HartTextTables.h"
#include "HartWrite.h"
#include "IconSet.h"
#include "PressureUnits.h"
#include "TextDiscription.h"
#include "ui_TabHartParametrs.h"

#include <cmath>

namespace {

constexpr int AlgorithmReadParametrs = 6;
constexpr int AlgorithmWriteParametrs = 7;
constexpr int AlgorithmSetZero = 8;
constexpr int PvIndex = 0;

void fillCombo(QComboBox* combo, const HartTextTable& table)
{
    for (const HartTextEntry& entry : table)
        combo->addItem(QIcon(), entry.text, int(entry.code));
}

// A text that is no number stays as typed: the write will ask for a value there.
QString convertedRangeText(const QString& text, quint8 fromCode, quint8 toCode)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? QString::number(PressureUnits::convertHart(fromCode, toCode, value), 'g', 6) : text;
}

void convertRangeField(QLineEdit* field, quint8 fromCode, quint8 toCode)
{
    field->setText(convertedRangeText(field->text(), fromCode, toCode));
}

// A shown text that is no number ("-" for NaN) differs from every typed value.
bool sameAsShown(float typed, const QString& shown)
{
    bool ok = false;
    const float value = shown.toFloat(&ok);
    return ok && value == typed;
}

}  // namespace

// Every value of a write, checked before anything is staged.
struct TabHartParametrs::Edits
{
    float lower = 0;
    float upper = 0;
    float damping = 0;
    int transferFunction = -1;
    quint8 pvUnit = 0;
};

TabHartParametrs::TabHartParametrs(QWidget* parent) : QWidget(parent), ui(new Ui_TabHartParametrs)
{
    ui->setupUi(this);
    fillCombos();
    resetFields();
    connect(ui->pushButton_readParametrs, &QPushButton::clicked, this,
            static_cast<void (TabHartParametrs::*)()>(&TabHartParametrs::readParametrs));
    connect(ui->pushButton_writeParametrs, &QPushButton::clicked, this, &TabHartParametrs::writeParametrs);
    connect(ui->pushButton_setNull, &QPushButton::clicked, this, &TabHartParametrs::setNull);
    ui->groupBox_sensor_parametrs->hide();
    auto* validator = new DoubleValidator(this);
    for (QLineEdit* field : {ui->lineEdit_device_mainValMax, ui->lineEdit_device_mainValMin, ui->lineEdit_device_demph})
        field->setValidator(validator);
    ui->pushButton_readParametrs->setIcon(g_icon_arrow_up_green);
    ui->pushButton_writeParametrs->setIcon(g_icon_arrow_down_red);
    ui->pushButton_setNull->setIcon(g_icon_symbol_current);
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             ui->comboBox_device_measureV2, ui->comboBox_device_measureV3, ui->comboBox_device_measureV4,
             ui->label_text_device_measureV2, ui->label_text_device_measureV3, ui->label_text_device_measureV4}) {
        hidden->setEnabled(false);
        hidden->hide();
    }
    // Filled first: the slot converts only what the user changes.
    connect(ui->comboBox_device_measureV1, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TabHartParametrs::measureChanged);
}

TabHartParametrs::~TabHartParametrs()
{
    delete ui;
}

void TabHartParametrs::fillCombos()
{
    fillCombo(ui->comboBox_device_functiuon, g_hartTransferFunctions);
    for (QComboBox* combo : {ui->comboBox_device_measureV1, ui->comboBox_device_measureV2, ui->comboBox_device_measureV3,
                             ui->comboBox_device_measureV4})
        fillCombo(combo, g_hartUnits);
}

void TabHartParametrs::resetFields()
{
    previousUnitIndex = -1;
    shownUpper.clear();
    shownLower.clear();
    for (QLineEdit* field : {ui->lineEdit_device_demph, ui->lineEdit_device_mainValMax, ui->lineEdit_device_mainValMin,
                             ui->lineEdit_device_writeProtection, ui->lineEdit_secsor_intervalHi,
                             ui->lineEdit_secsor_intervalLow, ui->lineEdit_secsor_intervalMin, ui->lineEdit_secsor_R0,
                             ui->lineEdit_secsor_Rc0, ui->lineEdit_secsor_Rline, ui->lineEdit_secsor_serialNumber})
        field->clear();
    for (QComboBox* combo : {ui->comboBox_device_functiuon, ui->comboBox_device_measureV1, ui->comboBox_device_measureV2,
                             ui->comboBox_device_measureV3, ui->comboBox_device_measureV4})
        combo->setCurrentIndex(-1);
    ui->pushButton_writeParametrs->setEnabled(false);
}

void TabHartParametrs::showOutputInfo(const HartDeviceData& data)
{
    shownUpper = floatToText(data.upperRangeValue);
    shownLower = floatToText(data.lowerRangeValue);
    ui->lineEdit_device_mainValMax->setText(shownUpper);
    ui->lineEdit_device_mainValMin->setText(shownLower);
    ui->lineEdit_device_demph->setText(floatToText(data.damping));
    ui->lineEdit_device_writeProtection->setText(hartOnOffText(data.writeProtect));
    ui->comboBox_device_functiuon->setCurrentIndex(
        data.transferFunction < ui->comboBox_device_functiuon->count() ? data.transferFunction : -1);
}

void TabHartParametrs::showSensorInfo(const HartDeviceData& data)
{
    const quint32 serial = quint32(data.sensorSerial[0]) << 16 | quint32(data.sensorSerial[1]) << 8 | data.sensorSerial[2];
    ui->lineEdit_secsor_serialNumber->setText(QString::number(serial));
    ui->lineEdit_secsor_intervalHi->setText(floatToText(data.sensorUpperLimit));
    ui->lineEdit_secsor_intervalLow->setText(floatToText(data.sensorLowerLimit));
    ui->lineEdit_secsor_intervalMin->setText(floatToText(data.minimumSpan));
    for (QLineEdit* field : {ui->lineEdit_secsor_serialNumber, ui->lineEdit_secsor_intervalHi,
                             ui->lineEdit_secsor_intervalLow, ui->lineEdit_secsor_intervalMin})
        field->setEnabled(false);
}

void TabHartParametrs::showVariableUnits(const HartDeviceData& data)
{
    selectUnitCombo(ui->comboBox_device_measureV1, data.pvUnit, PvIndex);
    selectUnitCombo(ui->comboBox_device_measureV2, 0, 1);
    selectUnitCombo(ui->comboBox_device_measureV3, 0, 2);
    selectUnitCombo(ui->comboBox_device_measureV4, 0, 3);
    const QString unit = ui->comboBox_device_measureV1->currentText();
    for (QLabel* label : {ui->label_measure_device_mainValMax, ui->label_measure_device_mainValMin,
                          ui->label_measure_secsor_intervalHi, ui->label_measure_secsor_intervalLow,
                          ui->label_measure_secsor_intervalMin})
        label->setText(unit);
}

void TabHartParametrs::selectUnitCombo(QComboBox* combo, quint8 code, int index)
{
    combo->setCurrentText(hartUnitText(code));
    combo->setEnabled(index == PvIndex);
}

void TabHartParametrs::enableWriteButton()
{
    ui->pushButton_writeParametrs->setEnabled(true);
}

void TabHartParametrs::readParametrs(bool showMessages)
{
    if (!g_device->checkHartConnection(showMessages))
        return;
    resetFields();
    g_device->startHartAlgorithm(AlgorithmReadParametrs, true, 0);
}

void TabHartParametrs::readParametrs()
{
    readParametrs(true);
}

// The first unit shown after a read converts nothing; later changes carry the range along.
void TabHartParametrs::measureChanged(int index)
{
    QComboBox* combo = ui->comboBox_device_measureV1;
    if (previousUnitIndex != -1) {
        ui->label_measure_device_mainValMax->setText(combo->currentText());
        ui->label_measure_device_mainValMin->setText(combo->currentText());
        if (index != -1) {
            const quint8 from = quint8(previousUnitCode);
            const quint8 to = quint8(combo->currentData().toInt());
            convertRangeField(ui->lineEdit_device_mainValMax, from, to);
            convertRangeField(ui->lineEdit_device_mainValMin, from, to);
            shownUpper = convertedRangeText(shownUpper, from, to);
            shownLower = convertedRangeText(shownLower, from, to);
        }
    }
    previousUnitIndex = index;
    if (index != -1)
        previousUnitCode = combo->currentData().toInt();
}

// Every field is checked before anything is staged. The range is compared with what the page showed,
// so that a range typed in a new unit is written in it and one left as converted is not; the other
// values are compared with the last read.
void TabHartParametrs::writeParametrs()
{
    Edits edits;
    if (!g_device->checkHartConnection(true) || !collectEdits(edits))
        return;
    const HartDeviceData& read = *g_device->hartData();
    HartDeviceData staged = read;
    int mask = 0;
    if (rangeEdited(edits)) {
        staged.upperRangeValue = edits.upper;
        staged.lowerRangeValue = edits.lower;
        mask |= HartChangeMask::Range;
    }
    if (!(read.damping == edits.damping)) {
        staged.damping = edits.damping;
        mask |= HartChangeMask::Damping;
    }
    if (edits.transferFunction != -1 && edits.transferFunction != read.transferFunction) {
        staged.transferFunction = quint8(edits.transferFunction);
        mask |= HartChangeMask::TransferFunction;
    }
    // The range is written in the unit the page shows, changed or not.
    staged.pvUnit = edits.pvUnit;
    if (edits.pvUnit != read.pvUnit)
        mask |= HartChangeMask::PvUnit;
    HartWrite::start(AlgorithmWriteParametrs, staged, mask);
}

bool TabHartParametrs::rangeEdited(const Edits& edits) const
{
    return !sameAsShown(edits.upper, shownUpper) || !sameAsShown(edits.lower, shownLower);
}

bool TabHartParametrs::collectEdits(Edits& edits)
{
    if (!readFloat(ui->lineEdit_device_mainValMin, edits.lower) || !readFloat(ui->lineEdit_device_mainValMax, edits.upper)
        || !readFloat(ui->lineEdit_device_demph, edits.damping))
        return false;
    edits.transferFunction = ui->comboBox_device_functiuon->currentIndex();
    QComboBox* unit = ui->comboBox_device_measureV1;
    if (unit->currentIndex() == -1)
        return refuse(unit);
    edits.pvUnit = quint8(unit->currentData().toInt());
    return true;
}

bool TabHartParametrs::readFloat(QLineEdit* field, float& value)
{
    bool ok = false;
    value = field->text().toFloat(&ok);
    return (ok && std::isfinite(value)) || refuse(field);
}

bool TabHartParametrs::refuse(QWidget* field)
{
    field->setFocus(Qt::OtherFocusReason);
    g_device->showPopUpMessage(tr("Выбранный параметр содержит неверные символы!"));
    return false;
}

void TabHartParametrs::setNull()
{
    if (g_device->checkHartConnection(true))
        g_device->startHartAlgorithm(AlgorithmSetZero, true, 0);
}
