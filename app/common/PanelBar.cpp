// The three-panel status bar of a tab.

#include "PanelBar.h"

#include "WidgetHelpers.h"

#include <QLabel>

TPanelBar::TPanelBar(QWidget *parent, const char *name) : QStatusBar(parent)
{
    setObjectName(QLatin1String(name));
    setSizeGripEnabled(false);
    // Designed widths 350, 300 and 50: the first two share the room in that
    // proportion, the clock takes what its text needs.
    const int stretch[PanelCount] = {35, 30, 0};
    for (int i = 0; i < PanelCount; ++i) {
        panels[i] = new QLabel(this);
        panels[i]->setObjectName(QStringLiteral("%1Panel%2").arg(QLatin1String(name)).arg(i));
        panels[i]->setMinimumWidth(i == 2 ? 50 : 40);
        panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        addWidget(panels[i], stretch[i]);
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
}
