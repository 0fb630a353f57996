#include "TabHartxAditionalStatus.h"

#include "DeviceZFN.h"
#include "HartDeviceData.h"
#include "HartStatusElement.h"
#include "ui_TabHartxAditionalStatus.h"

#include <QLabel>

namespace {

constexpr int AlgorithmReadAdditionalStatus = 21;
constexpr int ExtendedStatusByte = 6;
constexpr int StandardStatusByte = 8;

struct StatusBit
{
    int byte;
    quint8 mask;
    int lamp;
};

const StatusBit statusBits[] = {
    {ExtendedStatusByte, 0x01, 2}, {ExtendedStatusByte, 0x02, 0}, {ExtendedStatusByte, 0x04, 1},
    {StandardStatusByte, 0x01, 3}, {StandardStatusByte, 0x02, 4}, {StandardStatusByte, 0x04, 5},
    {StandardStatusByte, 0x08, 6}, {StandardStatusByte, 0x10, 7}, {StandardStatusByte, 0x20, 8},
    {StandardStatusByte, 0x40, 9},
};

const char* const rowTexts[] = {
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "Выход за диапазон одной из переменных прибора."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "Пропадало питание."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "Прибор требует поверки или обслуживания."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus",
                      "Прибор в режиме симуляции. Выход прибора не связан с измеряемой величиной."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "ПЗУ прибора содержит ошибки."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "ОЗУ прибора содержит ошибки."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "Сработал сторожевой таймер - прибор перезагружен."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "Напряжение питания прибора вне допустимых пределов."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "Температура прибора в недопустимых пределах."),
    QT_TRANSLATE_NOOP("TabHartxAditionalStatus", "Дефект электронного блока прибора."),
};

}  // namespace

TabHartxAditionalStatus::TabHartxAditionalStatus(QWidget* parent)
    : QWidget(parent), ui(new Ui_TabHartxAditionalStatus)
{
    ui->setupUi(this);
    connect(ui->pushButton_updateStatus, &QPushButton::clicked, this, [this] { readAdditionalDeviceStatus(true); });
    m_rows = ui->gridLayout;
    int id = 0;
    for (const char* text : rowTexts)
        addStatusRow(tr(text), id++);
}

TabHartxAditionalStatus::~TabHartxAditionalStatus()
{
    delete ui;
}

void TabHartxAditionalStatus::readAdditionalDeviceStatus(bool showMessages)
{
    if (g_device->checkHartConnection(showMessages))
        g_device->startHartAlgorithm(AlgorithmReadAdditionalStatus, true, 0);
}

void TabHartxAditionalStatus::showAdditionalStatus(const HartDeviceData& data)
{
    clearLamps();
    for (const StatusBit& bit : statusBits)
        if (data.additionalStatus[bit.byte] & bit.mask)
            setLamp(bit.lamp, true);
}

void TabHartxAditionalStatus::addStatusRow(const QString& text, int id)
{
    auto* lamp = new HartStatusElement(this, id, Qt::blue);
    m_rows->addWidget(lamp, m_row, m_column);
    m_rows->addWidget(new QLabel(text, this), m_row, m_column + 1);
    ++m_row;
    m_lamps.append(lamp);
}

void TabHartxAditionalStatus::clearLamps()
{
    for (HartStatusElement* lamp : m_lamps)
        lamp->setState(false);
}

void TabHartxAditionalStatus::setLamp(int id, bool on)
{
    for (HartStatusElement* lamp : m_lamps) {
        if (lamp->id() == id) {
            lamp->setState(on);
            return;
        }
    }
}
