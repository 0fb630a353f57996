#include "TabResults.h"

#include "DeviceZFN.h"
#include "ResultsModel.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

TabResults::TabResults(QWidget* parent) : QWidget(parent), m_table(new QTableView(this))
{
    setObjectName(QStringLiteral("TabResults"));
    m_table->setObjectName(QStringLiteral("tableView_results"));
    m_table->setModel(g_device->resultsModel());
    m_table->setSortingEnabled(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
}
