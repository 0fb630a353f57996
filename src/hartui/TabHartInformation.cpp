#include "TabHartInformation.h"

#include "DeviceZFN.h"
#include "HartChangeMask.h"
#include "HartDeviceData.h"
#include "HartDeviceTypeNames.h"
#include "HartPackedAscii.h"
#include "HartTextTables.h"
#include "HartWrite.h"
#include "IconSet.h"
#include "TextDiscription.h"
#include "ui_TabHartInformation.h"

#include <QIntValidator>
#include <cstring>

namespace {

constexpr int AlgorithmReadInformation = 1;
constexpr int AlgorithmWriteInformation = 2;
constexpr int AlgorithmRestart = 3;
constexpr int AlgorithmClearConfigurationFlag = 4;
constexpr int AlgorithmWritePollingAddress = 5;

constexpr int MaxPollingAddress = 15;
constexpr int MaxResponsePreambles = 20;
constexpr quint8 PollingAddressBase = 0x80;
// The date travels as day, month and year - 1900 in one byte each.
constexpr int FirstYear = 1900;
constexpr int LastYear = FirstYear + 255;
constexpr int LongTagBytes = 32;
constexpr int WidthSlack = 30;

QString numberWithHex(quint32 value)
{
    return QStringLiteral("%1     ( 0x%2 )").arg(value).arg(QString::number(value, 16).toUpper());
}

QString withoutTrailingSpace(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

bool isLatin1(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

template <int N>
bool sameBytes(const quint8 (&a)[N], const quint8 (&b)[N])
{
    return std::memcmp(a, b, N) == 0;
}

template <int N>
void copyBytes(quint8 (&to)[N], const quint8 (&from)[N])
{
    std::memcpy(to, from, N);
}

}  // namespace

// Every field of the write, packed as the transmitter takes it.
struct TabHartInformation::Edits
{
    quint8 tag[6] = {};
    quint8 descriptor[12] = {};
    quint8 date[3] = {};
    quint8 message[24] = {};
    quint8 preambles = 0;
    bool longTagEdited = false;
    quint8 longTag[LongTagBytes] = {};
};

TabHartInformation::TabHartInformation(QWidget* parent) : QWidget(parent), ui(new Ui_TabHartInformation)
{
    ui->setupUi(this);
    connect(ui->pushButton_readParametrs, &QPushButton::clicked, this, [this] { read(true); });
    connect(ui->pushButton_writeParametrs, &QPushButton::clicked, this, &TabHartInformation::write);
    connect(ui->pushButton_updateAdress, &QPushButton::clicked, this, &TabHartInformation::readDeviceAdress);
    connect(ui->pushButton_restartDevice, &QPushButton::clicked, this, &TabHartInformation::restartDevice);
    connect(ui->pushButton_removeConfigurationChangedFlag, &QPushButton::clicked, this,
            &TabHartInformation::clearConfigurationChangedFlag);
    connect(ui->pushButton_showAditionalStatus, &QPushButton::clicked, this, &TabHartInformation::showAditionalStatus);
    connect(ui->pushButton_writeDeviceAdress, &QPushButton::clicked, this, &TabHartInformation::writeDeviceAdress);
    ui->pushButton_showAditionalStatus->hide();
    ui->lineEdit_deviceAdress->setValidator(new QIntValidator(0, MaxPollingAddress, this));
    ui->lineEdit_deviceAdressExpanded->setEnabled(false);
    ui->dateEdit->setLocale(russianLocale());
    ui->lineEdit_numberOfPreambuls->setValidator(new QIntValidator(0, MaxResponsePreambles, this));
    resetFields();
    ui->pushButton_readParametrs->setIcon(g_icon_arrow_up_green);
    ui->pushButton_writeParametrs->setIcon(g_icon_arrow_down_red);
    setupFieldWidths();
}

TabHartInformation::~TabHartInformation()
{
    delete ui;
}

void TabHartInformation::showIdentity(const HartDeviceData& data)
{
    const quint16 typeKey = quint16(data.manufacturerCode << 8 | data.deviceTypeCode);
    const quint32 id = quint32(data.deviceId[0]) << 16 | quint32(data.deviceId[1]) << 8 | data.deviceId[2];
    ui->label_deviceTypeExpanded->setText(numberWithHex(typeKey));
    ui->label_hartProtocolVersion->setText(QStringLiteral("HART_") + QString::number(data.universalRevision));
    ui->label_deviceVersion->setText(QString::number(data.deviceRevision));
    ui->label_programVersion->setText(QString::number(data.softwareRevision));
    ui->label_modulesVersion->setText(QString::number(data.hardwareRevisionSignalling >> 3));
    ui->label_phisicalInterface->setText(hartPhysicalSignalingText(data.hardwareRevisionSignalling & 0x07));
    ui->label_id->setText(numberWithHex(id));
    ui->lineEdit_numberOfPreambuls->setText(QString::number(data.responsePreambles));
    ui->lineEdit_deviceName->setText(hartDeviceTypeName(typeKey));
    const QByteArray address = QByteArray(1, char(data.manufacturerCode)) + char(data.deviceTypeCode)
                               + QByteArray(reinterpret_cast<const char*>(data.deviceId), sizeof data.deviceId);
    ui->lineEdit_deviceAdressExpanded->setText(QStringLiteral("0x") + QString::fromLatin1(address.toHex().toUpper()));
    showPollingAddress(data);
}

void TabHartInformation::showPollingAddress(const HartDeviceData& data)
{
    ui->lineEdit_deviceAdress->setText(QString::number(int(data.pollingAddressByte) - PollingAddressBase));
}

void TabHartInformation::showHartMessage(const HartDeviceData& data)
{
    ui->lineEdit_note->setText(unpackAscii(data.message, sizeof data.message));
}

void TabHartInformation::showTagDescriptorDate(const HartDeviceData& data)
{
    ui->lineEdit_header->setText(unpackAscii(data.tag, sizeof data.tag));
    ui->lineEdit_description->setText(unpackAscii(data.descriptor, sizeof data.descriptor));
    ui->dateEdit->setDate(QDate(data.date[2] + FirstYear, data.date[1], data.date[0]));
}

void TabHartInformation::showLongTag(const HartDeviceData& data, bool supported)
{
    ui->lineEdit_longHeader->setEnabled(supported);
    ui->lineEdit_longHeader->setText(
        supported ? withoutTrailingSpace(QString::fromLatin1(reinterpret_cast<const char*>(data.longTag), LongTagBytes))
                  : QString());
}

// The address is written without the read fields. The parameters are written where they differ
// from a read, so they wait for one that succeeded.
void TabHartInformation::enableWriteButtons(bool readSucceeded)
{
    ui->pushButton_writeDeviceAdress->setEnabled(true);
    if (readSucceeded)
        ui->pushButton_writeParametrs->setEnabled(true);
}

void TabHartInformation::read(bool showMessages)
{
    if (g_device->checkHartConnection(showMessages))
        g_device->startHartAlgorithm(AlgorithmReadInformation, true, 0);
}

// Every field is checked before anything is staged; the changes are found against the last read,
// which stays as it was until the transmitter is read again.
void TabHartInformation::write()
{
    Edits edits;
    if (!collectEdits(edits) || !g_device->ensurePortFree() || !g_device->checkHartConnection(true))
        return;
    HartDeviceData staged = *g_device->hartData();
    int mask = 0;
    if (!sameBytes(edits.tag, staged.tag) || !sameBytes(edits.descriptor, staged.descriptor)
        || !sameBytes(edits.date, staged.date)) {
        copyBytes(staged.tag, edits.tag);
        copyBytes(staged.descriptor, edits.descriptor);
        copyBytes(staged.date, edits.date);
        mask |= HartChangeMask::TagDescriptorDate;
    }
    if (!sameBytes(edits.message, staged.message)) {
        copyBytes(staged.message, edits.message);
        mask |= HartChangeMask::Message;
    }
    if (edits.preambles != staged.responsePreambles) {
        staged.responsePreambles = edits.preambles;
        mask |= HartChangeMask::ResponsePreambles;
    }
    if (edits.longTagEdited && !sameBytes(edits.longTag, staged.longTag)) {
        copyBytes(staged.longTag, edits.longTag);
        mask |= HartChangeMask::LongTag;
    }
    HartWrite::start(AlgorithmWriteInformation, staged, mask);
}

bool TabHartInformation::collectEdits(Edits& edits)
{
    if (!packField(ui->lineEdit_header, ui->lineEdit_header->text(), edits.tag, sizeof edits.tag)
        || !packField(ui->lineEdit_description, ui->lineEdit_description->text(), edits.descriptor,
                      sizeof edits.descriptor))
        return false;
    const QDate date = ui->dateEdit->date();
    if (date.year() < FirstYear || date.year() > LastYear)
        return refuse(ui->dateEdit);
    edits.date[0] = quint8(date.day());
    edits.date[1] = quint8(date.month());
    edits.date[2] = quint8(date.year() - FirstYear);
    if (!packField(ui->lineEdit_note, ui->lineEdit_note->text(), edits.message, sizeof edits.message))
        return false;
    bool number = false;
    const uint preambles = ui->lineEdit_numberOfPreambuls->text().toUInt(&number);
    if (!number || preambles > MaxResponsePreambles)
        return refuse(ui->lineEdit_numberOfPreambuls);
    edits.preambles = quint8(preambles);
    // The long tag field is enabled only while the transmitter has one.
    edits.longTagEdited = ui->lineEdit_longHeader->isEnabled();
    if (!edits.longTagEdited)
        return true;
    const QString longTag = ui->lineEdit_longHeader->text();
    if (!isLatin1(longTag))
        return refuse(ui->lineEdit_longHeader);
    const QByteArray bytes = longTag.toLatin1().leftJustified(LongTagBytes, ' ', true);
    std::memcpy(edits.longTag, bytes.constData(), LongTagBytes);
    return true;
}

bool TabHartInformation::packField(QWidget* field, const QString& text, quint8* out, int byteCount)
{
    return packAscii(text, out, byteCount) || refuse(field);
}

bool TabHartInformation::refuse(QWidget* field)
{
    field->setFocus();
    g_device->showPopUpMessage(tr("Выбранный параметр содержит неверные символы!"));
    return false;
}

void TabHartInformation::readDeviceAdress()
{
    if (!g_device->readyToStart())
        return;
    g_device->hartConnect(false, true);
    showPollingAddress(*g_device->hartData());
}

void TabHartInformation::writeDeviceAdress()
{
    bool number = false;
    const int address = ui->lineEdit_deviceAdress->text().toInt(&number);
    if (!number || address < 0 || address > MaxPollingAddress) {
        refuse(ui->lineEdit_deviceAdress);
        return;
    }
    if (!g_device->checkHartConnection(true))
        return;
    HartDeviceData& staged = *g_device->hartEditedData();
    staged.newPollingAddress = quint8(address);
    staged.loopCurrentMode = address == 0 ? 1 : 0;
    g_device->startHartAlgorithm(AlgorithmWritePollingAddress, false, 0);
}

void TabHartInformation::restartDevice()
{
    if (g_device->checkHartConnection(true))
        g_device->startHartAlgorithm(AlgorithmRestart, true, 0);
}

void TabHartInformation::clearConfigurationChangedFlag()
{
    if (g_device->checkHartConnection(true))
        g_device->startHartAlgorithm(AlgorithmClearConfigurationFlag, true, 0);
}

// The additional status is read and shown by a page of its own; the button for it stays hidden here.
void TabHartInformation::showAditionalStatus()
{
}

void TabHartInformation::resetFields()
{
    for (QLineEdit* field : {ui->lineEdit_description, ui->lineEdit_deviceName, ui->lineEdit_header,
                             ui->lineEdit_longHeader, ui->lineEdit_note, ui->lineEdit_numberOfPreambuls})
        field->clear();
    for (QLabel* label : {ui->label_deviceTypeExpanded, ui->label_deviceVersion, ui->label_hartProtocolVersion,
                          ui->label_id, ui->label_modulesVersion, ui->label_phisicalInterface,
                          ui->label_programVersion})
        label->clear();
    ui->pushButton_writeParametrs->setEnabled(false);
    ui->pushButton_writeDeviceAdress->setEnabled(false);
}

void TabHartInformation::setupFieldWidths()
{
    const QFontMetrics captionMetrics(ui->label_text_deviceTypeExpanded->font());
    ui->groupBox_deviceInformation->setFixedWidth(captionMetrics.horizontalAdvance(ui->label_text_deviceTypeExpanded->text())
                                                  + captionMetrics.horizontalAdvance(QString(23, QLatin1Char('0')))
                                                  + WidthSlack);
    const QFontMetrics preamblesCaption(ui->label_text_numberOfPreambuls->font());
    const QFontMetrics preamblesField(ui->lineEdit_numberOfPreambuls->font());
    ui->groupBox_information->setFixedWidth(preamblesCaption.horizontalAdvance(ui->label_text_numberOfPreambuls->text())
                                            + preamblesField.horizontalAdvance(QStringLiteral("DESIGNED TO CONTROL THE SYSTEMS!"))
                                            + WidthSlack);
    const int addressWidth = QFontMetrics(ui->lineEdit_deviceAdressExpanded->font())
                                 .horizontalAdvance(QString(14, QLatin1Char('0')));
    ui->lineEdit_deviceAdressExpanded->setMinimumWidth(addressWidth);
    ui->lineEdit_deviceAdress->setMinimumWidth(addressWidth);
}
