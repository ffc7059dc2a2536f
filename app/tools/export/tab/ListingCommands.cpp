// TListingCommands: export, preview and print of the remote listing of
// either explorer (see ListingCommands.h).
#include "ListingCommands.h"

#include "AppContext.h"
#include "AppFiles.h"
#include "AppTexts.h"
#include "FormListPrint.h"
#include "FtpListModel.h"
#include "FtpListView.h"
#include "Prompts.h"
#include "UrlOpener.h"
#include "ZEVudeDadaVAV.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGraphicsView>
#include <QHeaderView>
#include <QLabel>
#include <QPrintPreviewWidget>

#include <memory>

namespace {

// The hourglass while a file is written; restored however the step ends.
class TBusyCursor
{
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};

// The file the preview hands to a spreadsheet program: "Listing" with the
// extension ".XLS", beside the executable.
QString SpreadsheetFileName()
{
    return FilePathInFilesFolder(TExportListView::XlsFileName(QStringLiteral("Listing")));
}

} // namespace

TListingCommands::TListingCommands(TAppContext &context, QObject *parent)
    : QObject(parent), context(context), listView1(ExplorerListingTable())
{
    exportListView1.SetListView(listView1);
}

TListingCommands::~TListingCommands() = default;

void TListingCommands::SetRemoteList(TVexFtpListView *list)
{
    remoteList = list;
}

void TListingCommands::SetRemoteFolderLabel(QLabel *label)
{
    remoteFolderLabel = label;
}

void TListingCommands::SetQuickPanel(TZEVudeDadaVAV *panel)
{
    quickPanel = panel;
}

QString TListingCommands::SaveCaption()
{
    return QStringLiteral("Export Excel");
}

QString TListingCommands::SaveFilter()
{
    return QStringLiteral("Excel (*.XLS)");
}

QString TListingCommands::ProposedName()
{
    return QStringLiteral("*.XLS");
}

QString TListingCommands::RemoteFolderPrefix()
{
    return QStringLiteral("Répertoire distant en cours: ");
}

QString TListingCommands::SpreadsheetItemText()
{
    return QStringLiteral("Ouvrir dans le tableur");
}

const char *TListingCommands::SpreadsheetItemName()
{
    return "Tableur";
}

QWidget *TListingCommands::Window() const
{
    return context.Window();
}

// --- The commands ---------------------------------------------------------------------

void TListingCommands::ExportListView1Execute()
{
    if (!context.QuickExplorerActive())
        ExportExplorer();
    else if (quickPanel)
        ExportQuick(*quickPanel);
}

void TListingCommands::Prvisualiser1Click()
{
    if (!context.QuickExplorerActive())
        PreviewExplorer();
    else if (quickPanel)
        PreviewQuick(*quickPanel);
}

void TListingCommands::Imprimerlesitedistant1Click()
{
    if (!context.QuickExplorerActive())
        PrintExplorer();
    else if (quickPanel)
        PrintQuick(*quickPanel);
}

void TListingCommands::ExportExplorer()
{
    if (!CopyRemoteList())
        return;
    Export(listView1);
}

void TListingCommands::PreviewExplorer()
{
    // An empty remote list leaves the previous copy (or the bare columns)
    // in ListView1: the preview opens on it anyway.
    CopyRemoteList();
    Preview(listView1, ExplorerHeader());
}

void TListingCommands::PrintExplorer()
{
    if (!CopyRemoteList())
        return;
    Print(listView1, ExplorerHeader(), true);
}

void TListingCommands::ExportQuick(TZEVudeDadaVAV &panel)
{
    if (panel.RowCount() == 0)
        return;
    Export(QuickListing(panel));
}

void TListingCommands::PreviewQuick(TZEVudeDadaVAV &panel)
{
    if (panel.RowCount() == 0)
        return;
    Preview(QuickListing(panel), QuickHeader(panel));
}

void TListingCommands::PrintQuick(TZEVudeDadaVAV &panel)
{
    if (panel.RowCount() == 0)
        return;
    // The quick side prints the columns as wide as their texts.
    Print(QuickListing(panel), QuickHeader(panel), false);
}

// --- Steps ------------------------------------------------------------------------------

// Copies the explorer's remote list into ListView1 when it has rows; false
// (ListView1 untouched) when it has none.
bool TListingCommands::CopyRemoteList()
{
    if (!remoteList || remoteList->RowCount() == 0)
        return false;
    listView1 = CopyExplorerListing(RemoteRows(*remoteList));
    exportListView1.SetListView(listView1);
    return true;
}

void TListingCommands::Export(const TListViewTable &table)
{
    const QString chosen = Prompts().SaveFileName(Window(), SaveCaption(),
                                                  context.LocalFolder() + ProposedName(), SaveFilter());
    if (chosen.isEmpty())
        return;
    exportListView1.SetDATFileName(TExportListView::XlsFileName(chosen));
    TExportResult result;
    {
        const TBusyCursor busy;
        result = exportListView1.Export(table);
    }
    if (!result.Message.isEmpty())
        Prompts().Message(Window(), MainText::Caption, result.Message,
                          result.IsError() ? TMessageKind::Error : TMessageKind::Information);
}

void TListingCommands::SetUpForm(TFormListPrint &form, const TListViewTable &table, const QString &header)
{
    TListViewPrint &printer = form.ListViewPrint1();
    printer.SetAsgnListView(table);
    printer.SetWSFileName(SpreadsheetFileName());
    printer.SetHeaderText(header);
}

void TListingCommands::Preview(const TListViewTable &table, const QString &header)
{
    // A child of the window, so that it goes with the window should the
    // window go while it is shown; otherwise it goes once it has closed.
    const QPointer<TFormListPrint> form = new TFormListPrint(Window());
    SetUpForm(*form, table, header);
    // The hand-over to a spreadsheet program, from the page's pop-up menu.
    auto *spreadsheet = new QAction(SpreadsheetItemText(), form);
    spreadsheet->setObjectName(QLatin1String(SpreadsheetItemName()));
    // The pages are drawn by a view inside the preview, which keeps a right
    // click to itself: the item goes on that view.
    QWidget *pages = form->Preview()->findChild<QGraphicsView *>();
    if (!pages)
        pages = form->Preview();
    pages->addAction(spreadsheet);
    pages->setContextMenuPolicy(Qt::ActionsContextMenu);
    TFormListPrint *shown = form;
    context.Connect(spreadsheet, &QAction::triggered, shown, [this, shown] { OpenInSpreadsheet(*shown); });
    if (OnPreviewWindow)
        OnPreviewWindow(*form);
    form->ListViewPrint1().Build();
    form->exec();
    delete form;
}

void TListingCommands::Print(const TListViewTable &table, const QString &header, bool wysiwyg)
{
    const auto form = std::make_unique<TFormListPrint>(Window());
    SetUpForm(*form, table, header);
    if (wysiwyg)
        form->ListViewPrint1().SetPrintWYSIWYG(true);
    if (OnPreviewWindow)
        OnPreviewWindow(*form);
    form->ListViewPrint1().Build();
    form->Print();
}

bool TListingCommands::OpenInSpreadsheet(TFormListPrint &form)
{
    QString error;
    const QString file = form.ListViewPrint1().WriteSpreadsheetFile(&error);
    if (file.isEmpty()) {
        // An empty listing writes nothing: there is nothing to hand over.
        if (!error.isEmpty())
            Prompts().Message(&form, MainText::Caption, error, TMessageKind::Error);
        return false;
    }
    return OpenUrlOrTell(&form, QUrl::fromLocalFile(file),
                         QStringLiteral("le fichier « %1 » dans un tableur").arg(QDir::toNativeSeparators(file)));
}

QString TListingCommands::ExplorerHeader() const
{
    return remoteFolderLabel ? remoteFolderLabel->text() : QString();
}

QString TListingCommands::QuickHeader(const TZEVudeDadaVAV &panel)
{
    return RemoteFolderPrefix() + panel.DirectoryText();
}

// --- Listings ---------------------------------------------------------------------------

QList<QStringList> TListingCommands::RemoteRows(const TVexFtpListView &list)
{
    const TVexFtpListModel *model = list.Model();
    QList<QStringList> rows;
    rows.reserve(model->rowCount());
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList texts;
        for (const int column : {TVexFtpListModel::ColName, TVexFtpListModel::ColSize, TVexFtpListModel::ColType,
                                 TVexFtpListModel::ColDate})
            texts.append(model->data(model->index(row, column)).toString());
        rows.append(texts);
    }
    return rows;
}

TListViewTable TListingCommands::QuickListing(const TZEVudeDadaVAV &panel)
{
    const TQuickFileModel *model = panel.FileListModel();
    const QHeaderView *header = panel.FileList() ? panel.FileList()->Header() : nullptr;
    TListViewTable table;
    const QStringList fallback = QuickListingCaptions();
    for (int column = 0; column < TQuickFileModel::ColumnCount; ++column) {
        const QString caption = model->headerData(column, Qt::Horizontal).toString();
        table.Captions.append(caption.isEmpty() ? fallback.value(column) : caption);
        const int shown = header ? header->sectionSize(column) : 0;
        table.Widths.append(shown > 0 ? shown : TQuickFileModel::ColumnWidth(column));
    }
    for (const TQuickFileRow &row : panel.Rows())
        table.Rows.append({row.Caption, row.SizeText, row.DateText, row.TypeText});
    return table;
}
