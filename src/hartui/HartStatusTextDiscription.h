#pragma once

#include <QFont>
#include <QList>
#include <QPen>
#include <QWidget>

class QLabel;
class QVBoxLayout;

// The pop-up over the status lamps: one row naming each status bit, joined to its lamp by a leader
// line drawn on the strip at its left. Pointing at a lamp in the bar below makes its row bold and
// its line thick.
class HartStatusTextDiscription : public QWidget
{
    Q_OBJECT
public:
    explicit HartStatusTextDiscription(QWidget* parent);

    int rowHeight() const { return m_rowHeight; }
    void setRowHeight(int h);
    void setRowSize(const QSize& size);
    bool isSelected(int row) const { return m_rows.at(row).selected; }
    QWidget* strip() const { return m_strip; }

signals:
    void mouseMove(int row);

public slots:
    void selectItem(int row);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Row
    {
        QLabel* label;
        bool selected;
    };

    void buildMask();

    int m_rowHeight = 10;
    bool m_linesDrawn = false;
    QPen m_thinPen;
    QPen m_thickPen;
    QFont m_boldFont;
    QWidget* m_strip;
    QVBoxLayout* m_rowsLayout;
    QList<Row> m_rows;
};
