#include "GraduationMenu.h"

#include "TabEmulationGraduation.h"
#include "TabFactorySettings.h"
#include "TabMeasurementGraduation.h"
#include "ui_GraduationMenu.h"

GraduationMenu::GraduationMenu(QWidget* parent)
    : QWidget(parent),
      ui(new Ui_GraduationMenu),
      m_emulation(nullptr),
      m_measurement(nullptr)
{
    ui->setupUi(this);
    m_emulation = new TabEmulationGraduation(this);
    ui->tabEmulationGraduation->layout()->addWidget(m_emulation);
    m_measurement = new TabMeasurementGraduation(this);
    ui->tabMeasurementGraduation->layout()->addWidget(m_measurement);
    setEditable(false);
}

GraduationMenu::~GraduationMenu()
{
    delete ui;
}

void GraduationMenu::setEditable(bool editable)
{
    m_editable = editable;
    ui->label_text_nonEditable->setVisible(!editable);
    m_emulation->setEditable(editable);
    m_measurement->setEditable(editable);
}

// The factory page holds one factory tab however often the factory mode is asked for.
void GraduationMenu::setFactory(bool factory)
{
    m_factory = factory;
    if (!factory) {
        removeFactoryPage();
        return;
    }
    if (ui->tabFactorySettings && !ui->tabFactorySettings->findChild<TabFactorySettings*>())
        ui->tabFactorySettings->layout()->addWidget(new TabFactorySettings(this));
}

void GraduationMenu::applyFactory()
{
    if (!m_factory)
        removeFactoryPage();
}

void GraduationMenu::removeFactoryPage()
{
    delete ui->tabFactorySettings;
    ui->tabFactorySettings = nullptr;
}

void GraduationMenu::showEmulationTab()
{
    ui->tabWidget->setCurrentIndex(0);
}

void GraduationMenu::showMeasurementTab()
{
    ui->tabWidget->setCurrentIndex(1);
}
