#pragma once
// TQuickExplorerTab: the tab "    Explorateur &rapide" (the page TabSheet2):
// the current-local-folder label replocal1, the place of the quick-explorer
// panel ZEVudeDadaVAV1 and the status bar StatusBar2.
//
// The panel itself is not in the window yet. Until it is, the tab keeps its
// place empty and its panel is never connected: connect, disconnect, stop
// and the hand-over of the connection (TQuickExplorerSide) leave it as it is.

#include "QuickExplorerSide.h"

#include <QWidget>

class QLabel;
class TAppContext;
class TPanelBar;

class TQuickExplorerTab : public QWidget, public TQuickExplorerSide
{
    Q_OBJECT
public:
    TQuickExplorerTab(TAppContext &context, QWidget *parent = nullptr);

    QLabel *replocal1() const { return localFolderLabel; }
    TPanelBar *StatusBar2() const { return statusBar; }

    bool QuickPanelConnected() const override;
    QString QuickPanelDirectory() const override;
    void QuickPanelConnect(const QString &remoteFolder) override;
    void QuickPanelDisconnect() override;
    void QuickPanelHideProgress() override;

private:
    TAppContext &context;
    QLabel *localFolderLabel = nullptr;
    QWidget *panel = nullptr;
    TPanelBar *statusBar = nullptr;
};
