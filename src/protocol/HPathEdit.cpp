#include "HPathEdit.h"

#include "FileChooser.h"
#include "HButton.h"
#include "ParametrPath.h"

#include <QHBoxLayout>
#include <QLineEdit>

HPathEdit::HPathEdit(ParametrPath* parametr, QWidget* parent)
    : QWidget(parent), m_lineEdit(new QLineEdit(this)), m_button(new HButton(tr("Выбрать..."), this)), m_parametr(parametr)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_lineEdit);
    layout->addWidget(m_button);
    m_lineEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    onFontChanged();
    connect(m_button, &QPushButton::clicked, this, &HPathEdit::onSelectButtonPressed);
}

HPathEdit::~HPathEdit() = default;

void HPathEdit::onFontChanged()
{
    m_button->setFixedWidth(m_button->fontMetrics().horizontalAdvance(m_button->text()) + 20);
}

void HPathEdit::onSelectButtonPressed()
{
    QString chosen;
    if (m_parametr->testFlag(ParametrPath::TallInput)) {
        chosen = FileChooser::choose({FileChooser::Folder, this, tr("Выбор дериктории"), m_lineEdit->text(), QString()});
    } else {
        const QStringList patterns = m_parametr->stringList();
        const QString filter = patterns.isEmpty() ? QString() : QLatin1Char('(') + patterns.first() + QLatin1Char(')');
        chosen = FileChooser::choose({FileChooser::Open, this, tr("Выбор файла"), m_lineEdit->text(), filter});
    }
    if (!chosen.isEmpty())
        m_lineEdit->setText(chosen);
}
