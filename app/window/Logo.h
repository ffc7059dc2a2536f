#pragma once
// The splash window shown while the main window is being built. The event
// loop is not running yet, so it paints itself when shown.

#include <QWidget>

class Tlogo : public QWidget
{
    Q_OBJECT
public:
    explicit Tlogo(QWidget *parent = nullptr);
    void ShowAndPaint();
};
