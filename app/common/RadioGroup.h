#pragma once
// A titled group of exclusive radio buttons addressed by item index, as the
// preferences store them. ItemIndex is -1 while no button is checked.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    TRadioGroup(const QString &caption, const QStringList &items, QWidget *parent = nullptr);

    int ItemIndex() const;
    // Clamped to -1 .. count - 1; does not emit Clicked.
    void SetItemIndex(int index);
    int Count() const;

signals:
    // The user clicked the button at index.
    void Clicked(int index);

private:
    QButtonGroup *buttons;
};
