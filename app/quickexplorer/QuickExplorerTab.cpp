// The quick-explorer tab: its layout, and its panel's side of the connection
// commands while the panel is not there.

#include "QuickExplorerTab.h"

#include "AppContext.h"
#include "AppTexts.h"
#include "PanelBar.h"
#include "WidgetHelpers.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

TQuickExplorerTab::TQuickExplorerTab(TAppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("TabSheet2"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);
    localFolderLabel = Named(new QLabel(MainText::LocalFolderPrefix, this), "replocal1");
    layout->addWidget(localFolderLabel);
    // The quick-explorer panel takes this place.
    auto *frame = Named(new QFrame(this), "ZEVudeDadaVAV1");
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel = frame;
    layout->addWidget(panel, 1);
    statusBar = new TPanelBar(this, "StatusBar2");
    layout->addWidget(statusBar);
}

bool TQuickExplorerTab::QuickPanelConnected() const
{
    return false;
}

QString TQuickExplorerTab::QuickPanelDirectory() const
{
    return QString();
}

void TQuickExplorerTab::QuickPanelConnect(const QString &)
{
    // The panel takes the profile (host, port, user, password) and the
    // folder, then connects: nothing to do while the tab has no panel.
}

void TQuickExplorerTab::QuickPanelDisconnect() {}

void TQuickExplorerTab::QuickPanelHideProgress() {}
