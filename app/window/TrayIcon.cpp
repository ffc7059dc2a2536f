#include "TrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

struct TTrayIcon::Private {
    QSystemTrayIcon *icon = nullptr;
    QPointer<QMenu> menu;
    bool enabled = false;
    bool autoShow = false;
};

TTrayIcon::TTrayIcon(QObject *owner) : QObject(owner), d(std::make_unique<Private>())
{
    d->icon = new QSystemTrayIcon(this);
    connect(d->icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::DoubleClick || !d->autoShow || !d->menu)
            return;
        const QList<QAction *> actions = d->menu->actions();
        if (!actions.isEmpty())
            actions.first()->trigger();
    });
}

TTrayIcon::~TTrayIcon()
{
    d->icon->hide();
}

bool TTrayIcon::Enabled() const { return d->enabled; }

void TTrayIcon::SetEnabled(bool enabled)
{
    d->enabled = enabled;
    if (enabled && QSystemTrayIcon::isSystemTrayAvailable())
        d->icon->show();
    else
        d->icon->hide();
}

QIcon TTrayIcon::Icon() const { return d->icon->icon(); }
void TTrayIcon::SetIcon(const QIcon &icon) { d->icon->setIcon(icon); }
QString TTrayIcon::Hint() const { return d->icon->toolTip(); }
void TTrayIcon::SetHint(const QString &hint) { d->icon->setToolTip(hint); }
QMenu *TTrayIcon::PopupMenu() const { return d->menu; }

void TTrayIcon::SetPopupMenu(QMenu *menu)
{
    d->menu = menu;
    d->icon->setContextMenu(menu);
}

bool TTrayIcon::AutoShow() const { return d->autoShow; }

void TTrayIcon::SetAutoShow(bool on)
{
    d->autoShow = on;
    if (d->menu && !d->menu->actions().isEmpty())
        d->menu->setDefaultAction(on ? d->menu->actions().first() : nullptr);
}

bool TTrayIcon::Shown() const { return d->icon->isVisible(); }
