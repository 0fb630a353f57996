#pragma once

#include <QList>
#include <QWidget>

class ExcelSaver;
class Ui_TabResults;

// The results page: the verification points collected from measurements and the archive, with
// deleting, grouping, the uncertainty of a selection and the protocol written from a template.
class TabResults : public QWidget
{
    Q_OBJECT
public:
    explicit TabResults(QWidget* parent = nullptr);
    ~TabResults() override;

public slots:
    void removeCurrentResult();
    void clearResults();
    void convertToExcel();
    void computeUndef();
    void groupButtons();

private:
    // Model rows of the selection, each once, in the order they were selected.
    QList<int> selectedRows() const;
    // Empty, after telling the user, when nothing is selected.
    QList<int> requireSelection() const;
    ExcelSaver* saver();

    Ui_TabResults* ui;
    bool m_exportRunning = false;
    ExcelSaver* m_saver = nullptr;
};
