#pragma once

#include <QPushButton>

// A push button that carries an integer id, so that one slot can serve several buttons.
class HButton : public QPushButton
{
    Q_OBJECT
public:
    explicit HButton(QWidget* parent = nullptr);
    HButton(const QString& text, QWidget* parent = nullptr);
    HButton(const QString& text, int id, QWidget* parent = nullptr);
    HButton(const QString& text, int id, const QIcon& icon, QWidget* parent = nullptr);
    ~HButton() override;

    int id() const { return m_id; }
    void setId(int id) { m_id = id; }

private:
    int m_id = 0;
};
