#pragma once
// The notification-area icon. Enabled adds the icon or removes it; on a
// desktop without a notification area the state is kept and nothing is
// shown. A right click pops up PopupMenu; with AutoShow a double click runs
// the menu's first item.

#include <QObject>
#include <QIcon>
#include <memory>

class QMenu;

class TTrayIcon : public QObject
{
    Q_OBJECT
public:
    explicit TTrayIcon(QObject *owner = nullptr);
    ~TTrayIcon() override;

    bool Enabled() const;
    void SetEnabled(bool enabled);
    QIcon Icon() const;
    void SetIcon(const QIcon &icon);
    QString Hint() const;
    void SetHint(const QString &hint);
    QMenu *PopupMenu() const;
    void SetPopupMenu(QMenu *menu); // not owned
    bool AutoShow() const;
    void SetAutoShow(bool on);

    // Whether the icon is on the screen now.
    bool Shown() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
