#pragma once
// TPanelBar: the status bar that ends the explorer and quick-explorer tabs,
// three sunken panels named after the bar ("StatusBar1Panel0" to
// "StatusBar1Panel2"): status, messages and the clock. The first starts as
// "Status: ".
//
// No text is cut: the status panel is as wide as designed (350 pixels) or as
// its text, the clock as its text, and the messages panel takes the room
// left. When the messages do not fit beside the other two (a long message in
// the designed 755-pixel window), the messages panel goes to a second row of
// its own, the whole width of the bar.

#include <QWidget>
#include <array>

class QLabel;

class TPanelBar : public QWidget
{
    Q_OBJECT
public:
    TPanelBar(QWidget *parent, const char *name);

    static constexpr int PanelCount = 3;
    QLabel *Panel(int index) const;
    void SetPanelText(int index, const QString &text);

    // 1, or 2 when the messages panel has a row of its own.
    int RowCount() const { return rows; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int NeededWidth(int index) const;
    int RowHeight() const;
    void Arrange();

    std::array<QLabel *, PanelCount> panels{};
    int rows = 1;
};
