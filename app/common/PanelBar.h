#pragma once
// TPanelBar: the status bar that ends the explorer and quick-explorer tabs,
// three sunken panels named after the bar ("StatusBar1Panel0" to
// "StatusBar1Panel2"): status, messages and the clock. The first starts as
// "Status: ".

#include <QStatusBar>
#include <array>

class QLabel;

class TPanelBar : public QStatusBar
{
    Q_OBJECT
public:
    TPanelBar(QWidget *parent, const char *name);

    static constexpr int PanelCount = 3;
    QLabel *Panel(int index) const;
    void SetPanelText(int index, const QString &text);

private:
    std::array<QLabel *, PanelCount> panels{};
};
