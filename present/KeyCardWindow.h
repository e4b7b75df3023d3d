#pragma once

#include "present/KeyCard.h"

#include <QDialog>

namespace present {

// The key card on its own, for the main window's help menu: the card the mode
// shows, in a window of its size, which any key or click closes.
class KeyCardWindow : public QDialog
{
    Q_OBJECT

public:
    explicit KeyCardWindow(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    KeyCard m_card;
};

} // namespace present
