// The quick-explorer tab: its layout around the panel ZEVudeDadaVAV1, what
// the tab shows of the panel's messages and progress, the synchronisation of
// the local folder with the panel's double clicks, the view buttons, saving
// the panel's log, and the panel's side of connect, disconnect, stop and the
// hand-over of the connection.

#include "QuickExplorerTab.h"

#include "AppContext.h"
#include "AppError.h"
#include "AppIcon.h"
#include "AppTexts.h"
#include "FileTypeNames.h"
#include "LocalPaths.h"
#include "PanelBar.h"
#include "Prompts.h"
#include "QuickPanelTexts.h"
#include "SiteManager.h"
#include "WidgetHelpers.h"
#include "ZEVudeDadaVAV.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QSaveFile>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>

#include <limits>

namespace {
const QString SyncText = QStringLiteral("Synchroniser les répertoires");
const QString SaveCaption = QStringLiteral("Enregistrer");
const QString AllFilesFilter = QStringLiteral("Tous les fichiers (*)");
const QString SaveFailed = QStringLiteral("Impossible d'enregistrer le status dans le fichier « %1 » : %2");

// What the tab's messages are recognised by (case as the panel writes them).
const QString DoneMark = QStringLiteral("complété");
const QString UnderWayMark = QStringLiteral("en cours");
const QStringList ConnectionMarks = {QStringLiteral("Non connecté"), QStringLiteral("connecté à"),
                                     QStringLiteral("déconnecté")};

// The panel as the main window places it: it takes desktop drops, transfers
// in binary and offers every command but the transfer-type submenu.
constexpr TdoOptions WindowOptions = TdoOptions(doAllowDelete | doAllowDownload | doAllowNewFolder | doAllowRename
                                                | doAllowUpload | doDisplayProgress | doShowHourglass);

// The current-local-folder label on the tool bar: a long folder is shown
// shortened in its middle rather than cut off, whole in its hint; text()
// keeps the whole text.
class TFolderLabel : public QLabel
{
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override { return {40, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft, Shown(area.width()));
    }

    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::ToolTip) {
            if (Shown(contentsRect().width()) != text())
                QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
            else
                QToolTip::hideText();
            return true;
        }
        return QLabel::event(event);
    }

private:
    QString Shown(int width) const { return fontMetrics().elidedText(text(), Qt::ElideMiddle, width); }
};

}

TQuickExplorerTab::TQuickExplorerTab(TAppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("TabSheet2"));
    BuildLayout();
    BuildPanel();
    Wire();
}

TQuickExplorerTab::~TQuickExplorerTab()
{
    // The panel goes first, while everything its last words could reach is
    // still here; its hooks are let go before.
    panel->OnDisplayMessage = nullptr;
    panel->OnDisplayProgress = nullptr;
    panel->OnDblClick = nullptr;
    delete panel;
}

void TQuickExplorerTab::SetSiteManager(TSiteManager &value)
{
    sites = &value;
}

// --- Construction --------------------------------------------------------------

void TQuickExplorerTab::BuildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);
    layout->addWidget(VelmarBanner(this, "Image3", QStringLiteral("Velmar - Explorateur rapide"), 420));

    // The tool bar, then the current local folder in the room it leaves.
    auto *row = new QWidget(this);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(4);
    auto *bar = Named(new QToolBar(row), "ToolBar4");
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    BuildToolBar(bar);
    localFolderLabel = Named(new TFolderLabel(MainText::LocalFolderPrefix, row), "replocal1");
    localFolderLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    rowLayout->addWidget(bar);
    rowLayout->addWidget(localFolderLabel, 1);
    layout->addWidget(row);

    panel = Named(new TZEVudeDadaVAV(this), "ZEVudeDadaVAV1");
    layout->addWidget(panel, 1);

    // The progress controls keep their row while hidden, so that the panel
    // does not jump when a transfer starts.
    auto *progressRow = Named(new QWidget(this), "ProgressRow");
    auto *progressLayout = new QHBoxLayout(progressRow);
    progressLayout->setContentsMargins(2, 0, 2, 0);
    progressLayout->setSpacing(6);
    progressLabel = Named(new QLabel(QuickTabText::ProgressLabel, progressRow), "progression2");
    progressBar = Named(new QProgressBar(progressRow), "ProgressBar2");
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    rateLabel = Named(new QLabel(QuickTabText::RateLabel, progressRow), "debit2");
    rateLabel->setMinimumWidth(fontMetrics().horizontalAdvance(QuickTabText::RateLabel + QStringLiteral("000000000")
                                                               + QuickTabText::RateUnit));
    progressLayout->addWidget(progressLabel);
    progressLayout->addWidget(progressBar, 1);
    progressLayout->addWidget(rateLabel);
    progressRow->setFixedHeight(qMax(progressBar->sizeHint().height(), progressLabel->sizeHint().height()));
    ShowProgressControls(false);
    layout->addWidget(progressRow);

    statusBar = new TPanelBar(this, "StatusBar2");
    statusBar->SetPanelText(0, QuickTabText::StatusStart);
    layout->addWidget(statusBar);
}

void TQuickExplorerTab::BuildToolBar(QToolBar *bar)
{
    synchronise = Named(new QCheckBox(SyncText, bar), "synch2");
    synchronise->setToolTip(SyncText);
    bar->addWidget(synchronise);
    bar->addSeparator();
    compare = ToolAction(this, "ToolButton33", QStringLiteral("comparer"), "view-refresh", QStyle::SP_BrowserReload);
    compare->setToolTip(QStringLiteral("Comparer les fichiers"));
    bar->addAction(compare);
    bar->addSeparator();
    const TViewStyleActions styles = AddViewStyleActions(this, bar, "ToolButton35", "ToolButton36", "ToolButton37");
    largeIcons = styles.large;
    listStyle = styles.list;
    details = styles.details;
    bar->addSeparator();
    exportExcel = ToolAction(this, "ExportExcel3", QStringLiteral("Export Excel"), "x-office-spreadsheet",
                             QStyle::SP_FileDialogInfoView);
    printSite = ToolAction(this, "ImprimerSite3", QStringLiteral("Imprimer le site distant"), "document-print",
                           QStyle::SP_DialogSaveButton);
    bar->addActions({exportExcel, printSite});
    bar->addSeparator();
}

void TQuickExplorerTab::BuildPanel()
{
    panel->SetLoginName(QStringLiteral("anonymous"));
    panel->SetFTPOptions(WindowOptions);
    panel->SetActive(true);
    panel->SetTransferType(ttBinary);
    saveStatus = Named(new QAction(QStringLiteral("&Sauvegarder le status"), this), "Sauvegarderlestatus2");

    // The hooks run the tab's handlers through the window's one catch: a
    // failure never unwinds through the panel.
    panel->OnDisplayMessage = [this](QObject *, const QString &text, bool isError) {
        context.Run([&] { ZEVudeDadaVAV1DisplayMessage(text, isError); });
    };
    panel->OnDisplayProgress = [this](TBTFTPConnection *, qint64 doneSize, qint64, qint64 totalSize,
                                      qint64 bytesPerSecond, const QString &, const QString &) {
        context.Run([&] { ZEVudeDadaVAV1DisplayProgress(doneSize, totalSize, bytesPerSecond); });
    };
    panel->OnDblClick = [this](QObject *) { context.Run([this] { ZEVudeDadaVAV1DblClick(); }); };
    // The hooks are in place: the panel's first message ("Non connecté")
    // reaches the status bar.
    panel->Loaded();
}

void TQuickExplorerTab::Wire()
{
    const TAppContext &c = context;
    c.Connect(synchronise, &QCheckBox::clicked, this, &TQuickExplorerTab::synch2Click);
    c.Connect(largeIcons, &QAction::triggered, this, &TQuickExplorerTab::ToolButton35Click);
    c.Connect(listStyle, &QAction::triggered, this, &TQuickExplorerTab::ToolButton36Click);
    c.Connect(details, &QAction::triggered, this, &TQuickExplorerTab::ToolButton37Click);
    c.Connect(saveStatus, &QAction::triggered, this, &TQuickExplorerTab::Sauvegarderlestatus2Click);
}

void TQuickExplorerTab::SetPanelAsciiMode(bool ascii)
{
    panel->SetTransferType(ascii ? ttASCII : ttBinary);
}

void TQuickExplorerTab::SetPanelPassive(bool passive)
{
    panel->SetPassive(passive);
}

void TQuickExplorerTab::SetDownloadFolder(const QString &folder)
{
    panel->SetRepertoiretele(folder);
}

void TQuickExplorerTab::AttachSaveStatusMenu()
{
    QMenu *menu = panel->LogPopupMenu();
    if (!menu->actions().contains(saveStatus))
        menu->addAction(saveStatus);
}

// --- Handlers ------------------------------------------------------------------

void TQuickExplorerTab::ShowProgressControls(bool shown)
{
    progressLabel->setVisible(shown);
    progressBar->setVisible(shown);
    rateLabel->setVisible(shown);
}

void TQuickExplorerTab::ZEVudeDadaVAV1DisplayMessage(const QString &messageText, bool)
{
    // Errors and information show alike.
    statusBar->SetPanelText(1, messageText);
    if (messageText.contains(DoneMark)) {
        progressLabel->hide();
        progressBar->hide();
        progressBar->setValue(0);
        rateLabel->hide();
        rateLabel->clear();
    }
    if (messageText.contains(UnderWayMark))
        ShowProgressControls(true);
    for (const QString &mark : ConnectionMarks) {
        if (messageText.contains(mark)) {
            statusBar->SetPanelText(0, messageText);
            break;
        }
    }
    if (sites)
        sites->SetCaptionFromProfile();
}

void TQuickExplorerTab::ZEVudeDadaVAV1DisplayProgress(qint64 doneSize, qint64 totalSize, qint64 bytesPerSecond)
{
    rateLabel->setText(QuickTabText::RateLabel + QString::number(bytesPerSecond) + QuickTabText::RateUnit);
    // The bar counts in int: sizes past its range (files over 2 GiB) are
    // shown in units of 2, 4, 8... bytes, both alike. An unknown size (0)
    // shows an empty bar, not the bar's busy animation.
    const qint64 total = qMax<qint64>(totalSize, 0);
    const qint64 done = qBound<qint64>(0, doneSize, total);
    int shift = 0;
    while ((total >> shift) > std::numeric_limits<int>::max())
        ++shift;
    if (total == 0) {
        progressBar->setRange(0, 100);
        progressBar->setValue(0);
    } else {
        progressBar->setRange(0, int(total >> shift));
        progressBar->setValue(int(done >> shift));
    }
}

void TQuickExplorerTab::ZEVudeDadaVAV1DblClick()
{
    if (!synchronise->isChecked())
        return;
    // The panel opens nothing while it is not connected or a transfer runs:
    // the local folder stays with it.
    if (!panel->Connected() || panel->Busy())
        return;
    const QList<int> selected = panel->SelectedRows();
    if (selected.isEmpty())
        return;
    const TQuickFileRow row = panel->Row(selected.first());
    if (row.Caption == QLatin1String("..")) {
        // At the root the local folder stays.
        const QString parent = LocalParentFolder(context.LocalFolder());
        if (!parent.isEmpty())
            context.SelectLocalFolder(parent);
        return;
    }
    if (row.TypeText != QuickFolderTypeName())
        return;
    // A name from the server chooses one folder inside the local folder,
    // never a place elsewhere.
    if (row.Caption.isEmpty() || row.Caption == QLatin1String(".") || row.Caption.contains(QLatin1Char('/'))
        || row.Caption.contains(QLatin1Char('\\')))
        return;
    context.SelectLocalFolder(context.LocalFolder() + row.Caption + QLatin1Char('/'));
}

void TQuickExplorerTab::synch2Click()
{
    // While synchronising, folders are opened from the file list only.
    panel->SetFolderPaneEnabled(!synchronise->isChecked());
}

void TQuickExplorerTab::ToolButton35Click()
{
    panel->SetViewStyle(qvsIcon);
}

void TQuickExplorerTab::ToolButton36Click()
{
    panel->SetViewStyle(qvsList);
}

void TQuickExplorerTab::ToolButton37Click()
{
    panel->SetViewStyle(qvsReport);
}

void TQuickExplorerTab::Sauvegarderlestatus2Click()
{
    const QStringList lines = panel->LogLines();
    if (lines.isEmpty())
        return;
    const QString fileName =
        Prompts().SaveFileName(context.Window(), SaveCaption, QuickTabText::StatusFileName, AllFilesFilter);
    if (fileName.isEmpty())
        return;
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    // Written whole or not at all: a file there already stays as it was on
    // failure.
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return;
    throw TVelmarError(SaveFailed.arg(fileName, file.errorString()));
}

// --- The panel's side of the connection commands -------------------------------

bool TQuickExplorerTab::QuickPanelConnected() const
{
    return panel->Connected();
}

QString TQuickExplorerTab::QuickPanelFolder() const
{
    return panel->CurrentFolder();
}

void TQuickExplorerTab::QuickPanelConnect(const std::optional<QString> &remoteFolder)
{
    if (!sites)
        return;
    // A port that is no port number stops here, before the panel is touched.
    const TQuickPanelProfile profile = sites->ProfileForQuickPanel();
    // A missing server or user is the caller's error, shown as such.
    if (profile.host.isEmpty())
        throw TVelmarError(QuickPanelTexts::HostMissing);
    if (profile.user.isEmpty())
        throw TVelmarError(QuickPanelTexts::LoginMissing);
    panel->SetHostName(profile.host);
    panel->SetPort(profile.port);
    panel->SetLoginName(profile.user);
    panel->SetPassword(profile.password);
    if (remoteFolder)
        panel->SetRemoteDir(*remoteFolder);
    panel->Connect();
}

void TQuickExplorerTab::QuickPanelDisconnect()
{
    panel->Disconnect();
}

void TQuickExplorerTab::QuickPanelHideProgress()
{
    ShowProgressControls(false);
}
