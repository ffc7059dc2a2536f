#pragma once
// TUpdateTab: the tab "    &Mise à jour" (the page TabSheet3), where the
// current local folder is compared with the current remote folder and the
// site is brought up to date. From top to bottom: a banner; the groups
// "&Légende" (what the row images mean), "Mettre à jour" (the update button
// SpeedButton1) and "Affichage" (the three filter boxes), with the current
// remote and local folder labels (repencours, replocal); a splitter; and the
// update list miseajour ("Nom", "Action"), kept sorted by name, one image
// per action.
//
// The remote side is the explorer tab's client and remote list
// (comparerClick) or the quick explorer's panel (ToolButton33Click, given the
// panel); the comparison run last decides which one the filters and the
// update run use (the context's QuickExplorerActive). The tab is disabled at
// start; the first comparison enables it and brings it to the front. The
// rules of the comparison are those of SiteComparison.h.
//
// The update run performs every upload, then every download, then every
// deletion. On the explorer side each batch starts only once the client is
// idle again (a batch's completion refreshes the remote list first), so
// that none is refused as busy. On the quick side the rows to fetch are
// fetched through the panel's own download into the local folder.

#include "SiteComparison.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QToolButton;
class QTreeWidget;
class TAppContext;
class TExplorerTab;
class TZEVudeDadaVAV;

class TUpdateTab : public QWidget
{
    Q_OBJECT
public:
    TUpdateTab(TAppContext &context, TExplorerTab &explorer, QWidget *parent = nullptr);

    QLabel *repencours() const { return remoteFolderLabel; }
    QLabel *replocal() const { return localFolderLabel; }
    QTreeWidget *miseajour() const { return list; }
    QToolButton *SpeedButton1() const { return updateButton; }
    // "Afficher plus ancien sur serveur", "Afficher inexistant en local",
    // "Afficher inexistant sur serveur web".
    QCheckBox *OlderOnServerBox() const { return olderBox; }
    QCheckBox *MissingLocallyBox() const { return missingLocallyBox; }
    QCheckBox *MissingOnSiteBox() const { return missingOnSiteBox; }

    // "Répertoire distant en cours: " and the part of the client's current
    // folder after its last "/" (the whole text when it has none).
    void ShowRemoteFolder(const QString &currentDirectory);

    // The quick explorer's panel that the quick comparison, the filters and
    // the update run act on (the last one given; not owned).
    TZEVudeDadaVAV *QuickPanel() const;
    void SetQuickPanel(TZEVudeDadaVAV *panel);

    // The rows as the list shows them (sorted by name).
    QList<TUpdateRow> Rows() const;

    // --- Handlers -----------------------------------------------------------------
    // The explorer comparison ("Comparer les fichiers", "&Comparer les sites").
    void comparerClick();
    // The quick comparison (the quick tab's "comparer"), against panel's list.
    void ToolButton33Click(TZEVudeDadaVAV &panel);
    // A click on any of the three filter boxes: the comparison of the
    // current source again.
    void CheckBox3Click();
    // A double click in the list: every selected row takes the next action.
    void miseajourDblClick();
    // The update run, after its question (a click while one runs does
    // nothing).
    void SpeedButton1Click();

private:
    void BuildLayout();
    // remote: the rows of the source's remote list.
    void Compare(TCompareSource source, const QList<TCompareRemoteRow> &remote);
    void CompareWithExplorer();
    void CompareWithQuickPanel();
    void ShowRows(const QList<TUpdateRow> &rows);
    void RunOnExplorer(const TUpdateBatches &batches);
    void RunOnQuickPanel(const TUpdateBatches &batches);
    // Fetches the remote file name into path through the panel's download.
    void DownloadThroughPanel(TZEVudeDadaVAV &panel, const QString &name, const QString &path);
    // Local paths of names in the local folder; the names refused are shown
    // in one message (downloads) and left out.
    QStringList PathsOf(const QStringList &names, QStringList &kept, bool report) const;
    void WaitWhileClientBusy();

    TAppContext &context;
    TExplorerTab &explorer;
    // The quick panel is reached only from UpdateTabQuick.cpp: its header
    // and the client's cannot be read by one file (both name a
    // TNotifyEvent of their own).
    QPointer<TZEVudeDadaVAV> quickPanel;
    QLabel *remoteFolderLabel = nullptr;
    QLabel *localFolderLabel = nullptr;
    QToolButton *updateButton = nullptr;
    QCheckBox *olderBox = nullptr;
    QCheckBox *missingLocallyBox = nullptr;
    QCheckBox *missingOnSiteBox = nullptr;
    QTreeWidget *list = nullptr;
    bool running = false; // an update run is under way
};
