#pragma once

#include <qwt_legend.h>

// A plot legend whose box also holds the caller's panel widgets above and below the entries. Qwt
// sizes the legend by its entries alone, so the size counts the panel widgets here.
class PanelLegend : public QwtLegend
{
    Q_OBJECT
public:
    explicit PanelLegend(QWidget* parent = nullptr);

    void insertPanelWidget(QWidget* widget, int position);
    QSize sizeHint() const override;
    int heightForWidth(int width) const override;

private:
    QSize panelSize() const;
};
