// The update tab's quick-explorer side: the comparison against the panel's
// list and the update run through the panel (uploads, fetches into the
// local folder, deletions, then a fresh listing).

#include "UpdateTab.h"

#include "AppContext.h"
#include "LocalNames.h"
#include "QuickPanelTexts.h"
#include "ZEVudeDadaVAV.h"

TZEVudeDadaVAV *TUpdateTab::QuickPanel() const
{
    return quickPanel;
}

void TUpdateTab::SetQuickPanel(TZEVudeDadaVAV *panel)
{
    quickPanel = panel;
}

void TUpdateTab::ToolButton33Click(TZEVudeDadaVAV &panel)
{
    quickPanel = &panel;
    CompareWithQuickPanel();
}

void TUpdateTab::CompareWithQuickPanel()
{
    // A panel that is gone lists nothing.
    QList<TCompareRemoteRow> remote;
    if (quickPanel) {
        for (const TQuickFileRow &row : quickPanel->Rows())
            remote.append({row.Caption, row.TypeText, row.DateText, row.Data ? row.Data->DateTime : QDateTime()});
    }
    Compare(TCompareSource::Quick, remote);
}

void TUpdateTab::RunOnQuickPanel(const TUpdateBatches &batches)
{
    const QPointer<TUpdateTab> alive(this);
    const QPointer<TZEVudeDadaVAV> panel = quickPanel;
    context.ShowPage(TPage::QuickExplorer);
    if (!panel)
        return;
    QStringList names;
    QStringList paths = PathsOf(batches.Uploads, names, false);
    for (int i = 0; i < names.size() && alive && panel; ++i)
        panel->UploadFile(paths.at(i), names.at(i));
    if (!alive || !panel)
        return;
    paths = PathsOf(batches.Downloads, names, true);
    for (int i = 0; i < names.size() && alive && panel; ++i)
        DownloadThroughPanel(*panel, names.at(i), paths.at(i));
    for (int i = 0; i < batches.Deletions.size() && alive && panel; ++i)
        panel->DeleteRemoteFile(batches.Deletions.at(i));
    if (alive && panel)
        panel->Refresh();
}

void TUpdateTab::DownloadThroughPanel(TZEVudeDadaVAV &panel, const QString &name, const QString &path)
{
    // The panel fetches what its list shows: the row of that name, opened
    // with the local path as the answer to its local-file question (an
    // existing local file is replaced only once the panel's own question
    // says so, and stays whole if the fetch fails).
    const QList<TQuickFileRow> rows = panel.Rows();
    int found = -1;
    for (int row = 0; row < rows.size() && found < 0; ++row)
        if (rows.at(row).Caption == name && !rows.at(row).IsDirectory())
            found = row;
    if (found < 0) {
        panel.DisplayError(QuickPanelTexts::DownloadFailed, {name});
        return;
    }
    const QPointer<TZEVudeDadaVAV> alive(&panel);
    const TGetLocalFileEvent ownerHook = panel.OnGetLocalFile;
    panel.OnGetLocalFile = [path](QObject *, const QString &, QString &localFileName) { localFileName = path; };
    panel.FileList()->SelectRow(found);
    panel.OpenEntry(panel.FileList());
    if (alive)
        panel.OnGetLocalFile = ownerHook;
}
