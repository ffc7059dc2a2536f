#pragma once
// TListingCommands: the window's commands that export, preview and print the
// listing of the current remote folder ("&Exporter vers Excel",
// "&Prévisualiser", "&Imprimer le site distant" and the tool-bar buttons
// "Export Excel" and "Imprimer le site distant" of both explorers). The
// flag QuickExplorerActive chooses the listing: the explorer tab's remote
// list, through the hidden listing ListView1, or the quick explorer's file
// list.
//
// Owner wiring (the window):
//   auto *listing = new TListingCommands(context, window);
//   listing->SetRemoteList(explorer->VexFtpListView1());
//   listing->SetRemoteFolderLabel(update->repencours());
//   listing->SetQuickPanel(quickTab->ZEVudeDadaVAV1());
//   context.Connect(ExporterversExcel1, &QAction::triggered, listing,
//                   &TListingCommands::ExportListView1Execute);
// The quick tab's own buttons trigger the same menu items.
//
// Every question and message goes through the prompt seam (Prompts.h);
// the preview window's "Ouvrir dans le tableur" item hands the listing to the
// desktop's spreadsheet program through the URL opener (UrlOpener.h).

#include "ExportListView.h"
#include "ListViewTable.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QLabel;
class QWidget;
class TAppContext;
class TFormListPrint;
class TVexFtpListView;
class TZEVudeDadaVAV;

class TListingCommands : public QObject
{
    Q_OBJECT
public:
    explicit TListingCommands(TAppContext &context, QObject *parent = nullptr);
    ~TListingCommands() override;

    // --- Where the listings come from (not owned; each may go away) -----------
    // The explorer tab's remote list.
    void SetRemoteList(TVexFtpListView *list);
    // The label repencours ("Répertoire distant en cours: " + folder): the
    // header of the explorer side's pages.
    void SetRemoteFolderLabel(QLabel *label);
    // The quick explorer's panel the menu items act on while
    // QuickExplorerActive is set; without one they do nothing there.
    void SetQuickPanel(TZEVudeDadaVAV *panel);

    // The hidden listing: the last copy of the explorer's remote list (the
    // columns alone after start-up).
    const TListViewTable &ListView1() const { return listView1; }
    // The export action, bound to ListView1.
    TExportListView &ExportListView1() { return exportListView1; }

    // --- The main menu's commands (and the explorer tab's buttons) --------------
    void ExportListView1Execute();
    void Prvisualiser1Click();
    void Imprimerlesitedistant1Click();

    // --- The quick tab's commands, on its panel ------------------------------------
    // "Export Excel": only when the panel's file list has rows.
    void ExportQuick(TZEVudeDadaVAV &panel);
    // "&Prévisualiser" on the quick side: only when the list has rows.
    void PreviewQuick(TZEVudeDadaVAV &panel);
    // "Imprimer le site distant": only when the list has rows.
    void PrintQuick(TZEVudeDadaVAV &panel);

    // --- Explorer side ---------------------------------------------------------------
    void ExportExplorer();
    void PreviewExplorer();
    void PrintExplorer();

    // The texts of the save dialog xls.
    static QString SaveCaption();    // "Export Excel"
    static QString SaveFilter();     // "Excel (*.XLS)"
    static QString ProposedName();   // "*.XLS"
    // "Répertoire distant en cours: "
    static QString RemoteFolderPrefix();
    // The preview window's item that hands the listing to a spreadsheet
    // program, and its object name.
    static QString SpreadsheetItemText();          // "Ouvrir dans le tableur"
    static const char *SpreadsheetItemName();      // "Tableur"

    // The listing of the quick explorer's file list as the commands print and
    // export it: its column captions and widths, then per row its name, size,
    // date and type.
    static TListViewTable QuickListing(const TZEVudeDadaVAV &panel);
    // The explorer's remote list as rows of caption, size, type and date.
    static QList<QStringList> RemoteRows(const TVexFtpListView &list);

    // Writes the preview's lines to its WSFileName (".XLS") and opens that
    // file with the desktop's default program; a failure of either is told
    // to the user. False then.
    bool OpenInSpreadsheet(TFormListPrint &form);

    // Called with each preview window once its list, header and file name are
    // set, before it is built and shown or printed (tests choose its printer
    // here; a preview shown modally is closed from here too).
    std::function<void(TFormListPrint &form)> OnPreviewWindow;

private:
    QWidget *Window() const;
    void Export(const TListViewTable &table);
    bool CopyRemoteList();
    void Preview(const TListViewTable &table, const QString &header);
    void Print(const TListViewTable &table, const QString &header, bool wysiwyg);
    void SetUpForm(TFormListPrint &form, const TListViewTable &table, const QString &header);
    QString ExplorerHeader() const;
    static QString QuickHeader(const TZEVudeDadaVAV &panel);

    TAppContext &context;
    QPointer<TVexFtpListView> remoteList;
    QPointer<QLabel> remoteFolderLabel;
    QPointer<TZEVudeDadaVAV> quickPanel;
    TListViewTable listView1;
    TExportListView exportListView1;
};
