#pragma once
// What the connection front end asks of the quick-explorer tab: its panel's
// side of connect, disconnect, stop and the hand-over of the connection
// between the two explorers. The quick-explorer tab implements it; the front
// end never sees that tab's class.

#include <QString>

class TQuickExplorerSide
{
public:
    virtual ~TQuickExplorerSide() = default;

    virtual bool QuickPanelConnected() const = 0;
    // The text of the panel's directory field.
    virtual QString QuickPanelDirectory() const = 0;
    // Applies the profile to the panel, gives it remoteFolder as its first
    // folder ("" for none) and connects it.
    virtual void QuickPanelConnect(const QString &remoteFolder) = 0;
    virtual void QuickPanelDisconnect() = 0;
    // Hides the tab's progress label, bar and speed label.
    virtual void QuickPanelHideProgress() = 0;
};
