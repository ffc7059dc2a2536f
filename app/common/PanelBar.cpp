// The three-panel status bar of a tab.

#include "PanelBar.h"

#include <QEvent>
#include <QLabel>

namespace {
// The designed widths are 350, 300 and 50. The clock's text needs more than
// 50 here, so the messages panel is not held to its 300: it takes the room
// the other two leave, and a row of its own when its text needs more.
constexpr int DesignedWidth[TPanelBar::PanelCount] = {350, 0, 50};
constexpr int Spacing = 2;
constexpr int Margin = 1;
}

TPanelBar::TPanelBar(QWidget *parent, const char *name) : QWidget(parent)
{
    setObjectName(QLatin1String(name));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (int i = 0; i < PanelCount; ++i) {
        panels[i] = new QLabel(this);
        panels[i]->setObjectName(QStringLiteral("%1Panel%2").arg(QLatin1String(name)).arg(i));
        panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    panels[0]->setText(QStringLiteral("Status: "));
}

QLabel *TPanelBar::Panel(int index) const
{
    return panels.at(index);
}

void TPanelBar::SetPanelText(int index, const QString &text)
{
    panels.at(index)->setText(text);
    Arrange();
}

int TPanelBar::NeededWidth(int index) const
{
    return qMax(DesignedWidth[index], panels.at(index)->sizeHint().width());
}

int TPanelBar::RowHeight() const
{
    int height = 0;
    for (const QLabel *panel : panels)
        height = qMax(height, panel->sizeHint().height());
    return height;
}

QSize TPanelBar::sizeHint() const
{
    int width = 2 * Margin + (PanelCount - 1) * Spacing;
    for (int i = 0; i < PanelCount; ++i)
        width += NeededWidth(i);
    return {width, 2 * Margin + rows * RowHeight() + (rows - 1) * Spacing};
}

QSize TPanelBar::minimumSizeHint() const
{
    // The bar never makes the window wider: a second row takes the rest.
    return {NeededWidth(2) + 2 * Margin, sizeHint().height()};
}

void TPanelBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Arrange();
}

void TPanelBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Arrange();
}

void TPanelBar::Arrange()
{
    const int inner = width() - 2 * Margin;
    const int status = NeededWidth(0);
    const int messages = NeededWidth(1);
    const int clock = NeededWidth(2);
    const int rowHeight = RowHeight();
    const bool oneRow = status + messages + clock + 2 * Spacing <= inner;
    const int clockLeft = Margin + inner - clock;
    if (oneRow) {
        panels[0]->setGeometry(Margin, Margin, status, rowHeight);
        panels[1]->setGeometry(Margin + status + Spacing, Margin, clockLeft - Spacing - (Margin + status + Spacing),
                               rowHeight);
        panels[2]->setGeometry(clockLeft, Margin, clock, rowHeight);
    } else {
        panels[0]->setGeometry(Margin, Margin, clockLeft - Spacing - Margin, rowHeight);
        panels[2]->setGeometry(clockLeft, Margin, clock, rowHeight);
        panels[1]->setGeometry(Margin, Margin + rowHeight + Spacing, inner, rowHeight);
    }
    const int wanted = oneRow ? 1 : 2;
    if (wanted != rows) {
        rows = wanted;
        updateGeometry();
    }
}
