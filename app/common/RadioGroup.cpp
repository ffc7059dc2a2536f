#include "RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const QString &caption, const QStringList &items, QWidget *parent)
    : QGroupBox(caption, parent), buttons(new QButtonGroup(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        buttons->addButton(button, i);
        layout->addWidget(button);
    }
    connect(buttons, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
}

int TRadioGroup::ItemIndex() const
{
    return buttons->checkedId();
}

int TRadioGroup::Count() const
{
    return int(buttons->buttons().size());
}

void TRadioGroup::SetItemIndex(int index)
{
    index = qBound(-1, index, Count() - 1);
    if (index < 0) {
        // An exclusive group refuses to uncheck its last button.
        buttons->setExclusive(false);
        for (QAbstractButton *b : buttons->buttons())
            b->setChecked(false);
        buttons->setExclusive(true);
        return;
    }
    buttons->button(index)->setChecked(true);
}
