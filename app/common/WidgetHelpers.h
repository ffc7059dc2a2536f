#pragma once
// Small steps every builder of a tab uses: naming a control with its design
// name (tests and other tabs find controls by that name), text colours, and
// the small coloured indicator panels of the main tool bar.

#include <QColor>
#include <QPalette>

class QLabel;
class QWidget;

template <typename T>
T *Named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

void SetTextColour(QWidget *widget, const QColor &colour, QPalette::ColorRole role = QPalette::WindowText);

// A small sunken panel showing a colour ("Internet:", "Ftp:"), red at start.
QLabel *MakeIndicator(QWidget *parent, const char *name);
void SetIndicatorColour(QLabel *indicator, const QColor &colour);
QColor IndicatorColour(const QLabel *indicator);
