#include "TabConfiguration.h"

#include "ComboBoxDelegate.h"
#include "DeviceZFN.h"
#include "HButton.h"
#include "IconSet.h"
#include "ModelTemplates.h"
#include "ParametrString.h"
#include "PrField.h"
#include "SerialNumberEditor.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"
#include "ui_TabConfiguration.h"

#include <QCompleter>
#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <algorithm>

TabConfiguration* g_tabConfiguration = nullptr;

namespace {

constexpr int calibratorSerialDigits = 5;
constexpr int calibratorSerialMaximum = 99999;
constexpr int moduleSerialDigits = 7;
constexpr int moduleSerialMaximum = 9999999;
constexpr int glakSerialLength = 8;
// Pixels around a caption and beside a form row that the layout needs besides the text.
constexpr int captionAllowance = 100;
constexpr int formRowAllowance = 5;
constexpr int fieldTextMargin = 8;

QString columnHeader(int column)
{
    static const char* const headers[TabConfiguration::ColumnCount] = {
        "Название ДД    ",      "Модель   ",        "Зав. №   ",       "  Рн               ",
        "  Рв               ", "Ед. изм.         ", "Выход               ", "Зависимость    ",
        "Допуск % "};
    return TabConfiguration::tr(headers[column]);
}

QString captionOf(const PrField* field)
{
    return field->captionLabel() ? field->captionLabel()->text() : QString();
}

}  // namespace

TabConfiguration::TabConfiguration(QWidget* parent)
    : QWidget(parent), m_form(new Ui_TabConfiguration), m_devicesModel(new QStandardItemModel(0, ColumnCount, this))
{
    m_form->setupUi(this);
    g_tabConfiguration = this;
    buildTemplateRow();
    buildSerialEditors();
    buildParameterGroups();
    buildTable();
    fillCombos();
    m_changedBrush = QBrush(Qt::yellow, Qt::SolidPattern);
    m_normalBrush = m_devicesModel->index(0, 0).data(Qt::BackgroundRole).value<QBrush>();
    m_form->comboBox_TzsMeasureUnit->setAutoFillBackground(true);
    m_form->widget_buttonLite->setAutoFillBackground(true);
    m_form->label_info_dataChanged->hide();

    loadSettings();

    connectButtons();
    connectChangeTracking();

    m_form->lineEdit_glak_serial->setMaxLength(glakSerialLength);
    m_form->pushButton_read->setIcon(g_icon_arrow_up_green);
    m_form->pushButton_glak_read->setIcon(g_icon_arrow_up_green);
    m_form->pushButton_apply->setIcon(g_icon_symbol_current);
    m_form->pushButton_repeal->setIcon(g_icon_symbol_current);
    m_form->comboBox_TzsMeasureUnit->setEnabled(false);
    m_moduleSerialEditor->setEnabled(false);
    m_form->scrollArea->setStyleSheet(QStringLiteral(".QScrollArea{background:transparent;}"));
    m_form->scrollAreaWidgetContents->setStyleSheet(QStringLiteral(".QWidget{background:transparent;}"));
    m_form->scrollArea->setFrameShape(QFrame::NoFrame);
    setupLabelWidths();
}

TabConfiguration::~TabConfiguration()
{
    if (g_tabConfiguration == this)
        g_tabConfiguration = nullptr;
    delete m_form;
}

void TabConfiguration::buildTemplateRow()
{
    QGroupBox* box = m_form->groupBox_protocols;
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(tr("Шаблон протокола"), box), 0, 0);
    m_templateModel = new ModelTemplates(VerificationSettings::templatesFolder(), this);
    m_templateProxy = new QSortFilterProxyModel(this);
    m_templateProxy->setSourceModel(m_templateModel);
    m_templateProxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_templateCombo = new QComboBox(box);
    m_templateCombo->setObjectName(QStringLiteral("comboBox_template"));
    m_templateCombo->setEditable(true);
    m_templateCombo->setModel(m_templateProxy);
    m_templateCombo->completer()->setModel(m_templateProxy);
    m_templateCombo->completer()->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    grid->addWidget(m_templateCombo, 0, 1);
    auto* update = new HButton(tr("Обновить"), TemplateUpdateButton, g_icon_symbol_update, box);
    auto* openFolder = new HButton(tr("Открыть папку с шаблонами"), TemplateFolderButton, g_icon_symbol_fileOpen, box);
    grid->addWidget(update, 0, 2);
    grid->addWidget(openFolder, 0, 3);
    connect(update, &QPushButton::clicked, this, &TabConfiguration::onButtonPressed);
    connect(openFolder, &QPushButton::clicked, this, &TabConfiguration::onButtonPressed);
    connect(m_templateCombo->lineEdit(), &QLineEdit::textChanged, this, &TabConfiguration::onTempateFilterTextChanged);
    QString& configured = g_verificationSettings->txtProtocolName;
    if (configured.isEmpty())
        configured = m_templateModel->defaultTemplate(configured);
}

void TabConfiguration::buildSerialEditors()
{
    m_calibratorSerialEditor = new SerialNumberEditor(m_form->groupBox_zfnFactoryNumber);
    m_calibratorSerialEditor->setObjectName(QStringLiteral("calibratorSerialEditor"));
    m_calibratorSerialEditor->setDigits(calibratorSerialDigits);
    m_calibratorSerialEditor->setMaximum(calibratorSerialMaximum);
    m_calibratorSerialEditor->setEnabled(false);
    m_form->gridLayout_zfnFactoryNumber->addWidget(m_calibratorSerialEditor, 0, 1);
    m_moduleSerialEditor = new SerialNumberEditor(m_form->groupBox_etalon);
    m_moduleSerialEditor->setObjectName(QStringLiteral("moduleSerialEditor"));
    m_moduleSerialEditor->setDigits(moduleSerialDigits);
    m_moduleSerialEditor->setMaximum(moduleSerialMaximum);
    m_form->gridLayout_tzs->addWidget(m_moduleSerialEditor, 3, 1);
}

// Fields are placed as the protocol reads them: the kind of verification and the check results
// beside the protocol data, the long texts below at full width.
void TabConfiguration::buildParameterGroups()
{
    const VerificationSettings* settings = g_verificationSettings;
    QGroupBox* info = m_form->groupBox_info;
    GroupHeight height = startGroup(info, 0);
    addParametrField(info, settings->parametr(9), 0, 0, height);
    addParametrField(info, settings->parametr(0), 0, 1, height);
    addParametrField(info, settings->parametr(1), 1, 0, height);
    addParametrField(info, settings->parametr(6), 2, 0, height);
    addParametrField(info, settings->parametr(8), 3, 0, height);
    addParametrField(info, settings->parametr(4), 4, 0, height);
    for (int check = 10; check <= 13; ++check)
        addParametrField(info, settings->parametr(check), check - 9, 1, height);
    for (int index : {7, 2, 3, 5})
        addNextRowField(info, settings->parametr(index), height);
    finishGroup(info, height);

    const QList<QPair<QGroupBox*, QList<int>>> groups = {
        {m_form->groupBox_errorCorrector, {14, 15}},
        {m_form->groupBox_zfnFactoryNumber, {16}},
        {m_form->groupBox_etalon, {17}},
        {m_form->groupBox_psetter, {18, 19, 20}},
    };
    for (const auto& group : groups) {
        QGroupBox* box = group.first;
        const int formRows = box == m_form->groupBox_zfnFactoryNumber ? 1 : box == m_form->groupBox_etalon ? 4 : 0;
        height = startGroup(box, formRows);
        for (int index : group.second)
            addNextRowField(box, settings->parametr(index), height);
        finishGroup(box, height);
    }
}

TabConfiguration::GroupHeight TabConfiguration::startGroup(QGroupBox* box, int formRows) const
{
    auto* grid = static_cast<QGridLayout*>(box->layout());
    grid->setSpacing(1);
    grid->setContentsMargins(5, 0, 5, 5);
    GroupHeight height;
    height.lineHeight = box->fontMetrics().height() + fieldTextMargin;
    height.spacing = grid->verticalSpacing();
    const QMargins margins = grid->contentsMargins();
    height.height = box->fontMetrics().height() + margins.top() + margins.bottom()
                    + formRows * (height.lineHeight + height.spacing + formRowAllowance);
    return height;
}

PrField* TabConfiguration::addParametrField(QGroupBox* box, HAbstractParametr* parametr, int row, int column,
                                            GroupHeight& height)
{
    auto* grid = static_cast<QGridLayout*>(box->layout());
    const int columns = column < 0 ? grid->columnCount() : 1;
    auto* field = new PrField(parametr, box, PrField::CaptionCompact);
    m_fieldRows.append(field);
    m_parameters.append(parametr);
    const bool tall = parametr->typeId() == ParametrString::TypeId && parametr->testFlag(HAbstractParametr::TallInput);
    const int textHeight = box->fontMetrics().height();
    const int fieldHeight = tall ? 3 * textHeight + fieldTextMargin : height.lineHeight;
    field->setFieldHeight(fieldHeight);
    // A field across the whole group takes its width: names and addresses of organisations are long.
    if (column < 0)
        field->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    if (column <= 0)
        height.height += fieldHeight + height.spacing;
    grid->addWidget(field, row, std::max(column, 0), 1, columns);
    connect(field, &PrField::changed, this, &TabConfiguration::fieldChanged);
    return field;
}

PrField* TabConfiguration::addNextRowField(QGroupBox* box, HAbstractParametr* parametr, GroupHeight& height)
{
    auto* grid = static_cast<QGridLayout*>(box->layout());
    const int row = grid->count() > 0 ? grid->rowCount() : 0;
    return addParametrField(box, parametr, row, -1, height);
}

// Every field of a column gets the width of the column's longest caption, so the editors line up.
void TabConfiguration::finishGroup(QGroupBox* box, const GroupHeight& height)
{
    auto* grid = static_cast<QGridLayout*>(box->layout());
    QMap<int, QList<PrField*>> columns;
    for (PrField* field : qAsConst(m_fieldRows)) {
        const int index = grid->indexOf(field);
        if (index < 0)
            continue;
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        columns[column].append(field);
    }
    const QFontMetrics metrics(box->font());
    int width = 0;
    QString lastLongest;
    for (const QList<PrField*>& fields : qAsConst(columns)) {
        QString longest;
        for (const PrField* field : fields)
            if (captionOf(field).size() > longest.size())
                longest = captionOf(field);
        const int captionWidth = metrics.boundingRect(longest).width();
        for (PrField* field : fields)
            field->setCaptionWidth(captionWidth);
        width += captionWidth + captionAllowance;
        lastLongest = longest;
    }
    if (box->title().size() > lastLongest.size())
        width = metrics.boundingRect(box->title()).width() + captionAllowance;
    box->setMinimumWidth(std::max(box->minimumWidth(), width));
    box->setMinimumHeight(height.height);
}

void TabConfiguration::buildTable()
{
    for (int column = 0; column < ColumnCount; ++column)
        m_devicesModel->setHorizontalHeaderItem(column, new QStandardItem(columnHeader(column)));
    m_form->tableView->setModel(m_devicesModel);
    m_form->tableView->setItemDelegateForColumn(UnitColumn, new ComboBoxDelegate(this, &TextDiscription::lstUnits, false));
    m_outputDelegate = new ComboBoxDelegate(this, &TextDiscription::lstOutputs, false);
    m_form->tableView->setItemDelegateForColumn(OutputColumn, m_outputDelegate);
    m_form->tableView->setItemDelegateForColumn(CharacteristicColumn,
                                                new ComboBoxDelegate(this, &TextDiscription::lstCharacteristics, false));
    m_devicesModel->insertRow(0);
    m_form->tableView->verticalHeader()->hide();
    m_form->tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_form->tableView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_form->tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_form->tableView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TabConfiguration::fillCombos()
{
    m_form->comboBox_modelTZS->addItems(TextDiscription::lstModuleCodes);
    m_form->comboBox_accuracyClass->addItems(TextDiscription::lstClasses);
    m_form->comboBox_TzsMeasureUnit->addItems(TextDiscription::lstModuleUnits);
    m_form->comboBox_glak_readmode->addItem(tr("вручную"), 0);
    m_form->comboBox_glak_readmode->addItem(tr("при нажатии кнопки СТАРТ"), 1);
    m_form->comboBox_atmosphericPressureMeasure->addItems({tr("мм рт.ст."), tr("кПа")});
}

void TabConfiguration::connectButtons()
{
    connect(m_form->pushButton_apply, &QPushButton::clicked, this, QOverload<>::of(&TabConfiguration::applySettings));
    connect(m_form->pushButton_repeal, &QPushButton::clicked, this, &TabConfiguration::loadSettings);
    connect(m_form->pushButton_read, &QPushButton::clicked, this, &TabConfiguration::readSettings);
    connect(m_form->pushButton_glak_read, &QPushButton::clicked, this, &TabConfiguration::onGlakReadButtonPressed);
    connect(g_device, &DeviceZFN::algoritmFinished, this, &TabConfiguration::getAlgoritmResult);
}

void TabConfiguration::connectChangeTracking()
{
    connect(m_devicesModel, &QStandardItemModel::dataChanged, this, &TabConfiguration::tableItemDataChanged,
            Qt::DirectConnection);
    for (QLineEdit* edit : {m_form->lineEdit_temperature, m_form->lineEdit_humidity, m_form->lineEdit_atmosphericPressure,
                            m_form->lineEdit_verificatorName, m_form->lineEdit_verificatorPos, m_form->lineEdit_chefName,
                            m_form->lineEdit_chefPos, m_form->lineEdit_glak_serial})
        connect(edit, &QLineEdit::textChanged, this, &TabConfiguration::itemValueChanged);
    for (QComboBox* combo : {m_form->comboBox_modelTZS, m_form->comboBox_TzsMeasureUnit,
                             m_form->comboBox_atmosphericPressureMeasure, m_form->comboBox_glak_readmode})
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TabConfiguration::itemValueChanged);
    for (QComboBox* combo : {m_form->comboBox_accuracyClass, m_templateCombo})
        connect(combo, &QComboBox::currentTextChanged, this, &TabConfiguration::itemValueChanged);
    for (SerialNumberEditor* editor : {m_calibratorSerialEditor, m_moduleSerialEditor})
        connect(editor, QOverload<int>::of(&QSpinBox::valueChanged), this, &TabConfiguration::itemValueChanged);
    for (QDoubleSpinBox* spin : {m_form->doubleSpinBox_etalonDelta, m_form->doubleSpinBox_infoPointNum})
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &TabConfiguration::itemValueChanged);
    connect(m_form->comboBox_accuracyClass, &QComboBox::currentTextChanged, this,
            &TabConfiguration::accuracyClassChangged);
}

// Sizes follow the font, so the page keeps its proportions at any screen scaling.
void TabConfiguration::setupLabelWidths()
{
    const QFontMetrics metrics(font());
    const int textHeight = metrics.height();
    const int buttonHeight = std::max(40, 2 * textHeight + fieldTextMargin);
    for (QPushButton* button : {m_form->pushButton_read, m_form->pushButton_apply, m_form->pushButton_repeal})
        button->setMinimumHeight(buttonHeight);
    m_form->widget_minSp->setMinimumHeight(2 * buttonHeight);
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("0000.00000"));
    for (QLineEdit* edit : {m_form->lineEdit_temperature, m_form->lineEdit_humidity, m_form->lineEdit_atmosphericPressure}) {
        edit->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0000")) + 2 * fieldTextMargin);
        edit->setMaximumWidth(numberWidth + 2 * fieldTextMargin);
    }
    m_form->comboBox_atmosphericPressureMeasure->setMinimumWidth(metrics.horizontalAdvance(tr("мм. рт. ст.")) + 30);
    // The form's limits fit a smaller font than many screens use: the conditions' captions stay whole.
    for (QLabel* label : {m_form->label_text_humidity, m_form->label_text_atmosphericPressure})
        label->setMaximumWidth(QWIDGETSIZE_MAX);
    QGroupBox* conditions = m_form->groupBox_verificationCondition;
    conditions->setMaximumWidth(std::max(conditions->maximumWidth(), conditions->minimumSizeHint().width()));
    m_form->groupBox_etalon->setMinimumWidth(std::max(m_form->groupBox_etalon->minimumWidth(),
                                                      2 * metrics.horizontalAdvance(QStringLiteral("00000.00000"))));
    const int serialWidth = metrics.horizontalAdvance(QStringLiteral("0000000")) + 2 * fieldTextMargin;
    m_calibratorSerialEditor->setMinimumWidth(serialWidth);
    m_moduleSerialEditor->setMinimumWidth(serialWidth);
    m_form->groupBox_protocols->setMinimumHeight(std::max(m_form->groupBox_protocols->minimumHeight(), 3 * textHeight));
}

void TabConfiguration::fitTableWidth()
{
    const QHeaderView* header = m_form->tableView->horizontalHeader();
    int width = 2;
    for (int section = 0; section < header->count(); ++section)
        width += header->sectionSize(section);
    m_form->tableView->setFixedWidth(width);
}

void TabConfiguration::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fitTableWidth();
}
