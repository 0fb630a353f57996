#pragma once

#include <QBrush>
#include <QList>
#include <QModelIndex>
#include <QWidget>

class ComboBoxDelegate;
class HAbstractParametr;
class ModelTemplates;
class PrField;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QSortFilterProxyModel;
class QStandardItem;
class QStandardItemModel;
class SerialNumberEditor;
class Ui_TabConfiguration;

// The verification settings page. It edits copies: nothing reaches the verification settings record
// or the current channel until applySettings, and loadSettings throws the edits away. Edited fields
// are painted yellow until then. Everything runs in the GUI thread.
class TabConfiguration : public QWidget
{
    Q_OBJECT
public:
    // Columns of the sensor-under-test table.
    enum Column { NameColumn, ModelColumn, SerialColumn, LowerColumn, UpperColumn, UnitColumn, OutputColumn,
                  CharacteristicColumn, AllowedErrorColumn, ColumnCount };
    // Ids of the template row's buttons.
    enum TemplateButton { TemplateUpdateButton = 1, TemplateFolderButton = 2 };

    explicit TabConfiguration(QWidget* parent = nullptr);
    ~TabConfiguration() override;

    // False, with the thermohygrometer's failure shown, when nothing was read.
    bool readGlakConditions();
    // At a measurement start in the read mode "при нажатии кнопки СТАРТ": stores the conditions read.
    bool readConditionsOnStart();
    void setDeviceSerialNumber(unsigned int number);
    void fitTableWidth();

signals:
    void changeMeasureType(int mode);

public slots:
    // False, with the bad cell focused and named, when a sensor cell holds what cannot be applied;
    // nothing is applied then.
    bool applySettings(bool quiet);
    bool applySettings();
    void loadSettings();
    void readSettings();
    void hilightSelectedItems();
    void clearItemsSelection();
    void getAlgoritmResult(int id);
    void tableItemDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                              const QVector<int>& roles = QVector<int>());
    void itemValueChanged();
    void fieldChanged();
    void accuracyClassChangged(const QString& text);
    void onGlakReadButtonPressed();
    void onTempateFilterTextChanged(const QString& text);
    void onButtonPressed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct GroupHeight
    {
        int height = 0;
        int lineHeight = 0;
        int spacing = 0;
    };

    void buildTemplateRow();
    void buildParameterGroups();
    void buildSerialEditors();
    void buildTable();
    void fillCombos();
    void connectChangeTracking();
    void connectButtons();
    void setupLabelWidths();
    PrField* addParametrField(QGroupBox* box, HAbstractParametr* parametr, int row, int column, GroupHeight& height);
    PrField* addNextRowField(QGroupBox* box, HAbstractParametr* parametr, GroupHeight& height);
    GroupHeight startGroup(QGroupBox* box, int formRows) const;
    void finishGroup(QGroupBox* box, const GroupHeight& height);

    void loadConditions();
    void loadSensorRow();
    void applyConditions();
    void applySensorRow();
    void applyTemplateName();
    int firstBadSensorColumn() const;
    void refuseCell(int column);
    void setCell(int column, const QVariant& value);
    QVariant cell(int column) const;
    void paint(const QBrush& brush);
    template <typename T>
    void markChanged(QList<T*>& list, T* item);

    Ui_TabConfiguration* m_form;
    QStandardItemModel* m_devicesModel;
    SerialNumberEditor* m_calibratorSerialEditor = nullptr;
    SerialNumberEditor* m_moduleSerialEditor = nullptr;
    ComboBoxDelegate* m_outputDelegate = nullptr;
    ComboBoxDelegate* m_nameDelegate = nullptr;
    QList<QStandardItem*> m_changedItems;
    QList<QWidget*> m_changedWidgets;
    QList<PrField*> m_changedFields;
    QList<PrField*> m_fieldRows;
    QList<HAbstractParametr*> m_parameters;
    QComboBox* m_templateCombo = nullptr;
    ModelTemplates* m_templateModel = nullptr;
    QSortFilterProxyModel* m_templateProxy = nullptr;
    QBrush m_changedBrush;
    QBrush m_normalBrush;
    bool m_trackChanges = false;
    bool m_highlightEnabled = true;
    QString m_selectedTemplate;
};

extern TabConfiguration* g_tabConfiguration;
