#pragma once
// What the connection front end asks of the quick-explorer tab: its panel's
// side of connect, disconnect, stop and the hand-over of the connection
// between the two explorers. The quick-explorer tab implements it; the front
// end never sees that tab's class.

#include <QString>

#include <optional>

class TQuickExplorerSide
{
public:
    virtual ~TQuickExplorerSide() = default;

    virtual bool QuickPanelConnected() const = 0;
    // The server's folder the panel last listed: where the explorer takes
    // over. (The directory field may show a selected row after the folder.)
    virtual QString QuickPanelFolder() const = 0;
    // Applies the editor's profile to the panel and connects it. With a
    // folder the panel enters it right after logging in ("" for the login
    // folder); without one it keeps the folder it was last given. A port
    // field that is not a port number stops it with a TVelmarError before
    // anything is sent.
    virtual void QuickPanelConnect(const std::optional<QString> &remoteFolder) = 0;
    virtual void QuickPanelDisconnect() = 0;
    // Hides the tab's progress label, bar and speed label.
    virtual void QuickPanelHideProgress() = 0;
};
