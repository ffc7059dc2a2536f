// Control naming, text colours and indicator panels.

#include "WidgetHelpers.h"

#include <QLabel>
#include <QVariant>
#include <QWidget>

void SetTextColour(QWidget *widget, const QColor &colour, QPalette::ColorRole role)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel *MakeIndicator(QWidget *parent, const char *name)
{
    auto *panel = Named(new QLabel(parent), name);
    panel->setFixedSize(14, 14);
    SetIndicatorColour(panel, QColor(255, 0, 0));
    return panel;
}

void SetIndicatorColour(QLabel *indicator, const QColor &colour)
{
    // The colour is kept as a property too, so that it can be read back.
    indicator->setProperty("colour", colour);
    indicator->setStyleSheet(QStringLiteral("QLabel { background-color: %1; border: 1px solid; "
                                            "border-color: #808080 #ffffff #ffffff #808080; }")
                                 .arg(colour.name()));
}

QColor IndicatorColour(const QLabel *indicator)
{
    return indicator->property("colour").value<QColor>();
}
