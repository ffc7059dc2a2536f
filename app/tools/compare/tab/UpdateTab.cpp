// The update tab: its layout and pictures, both comparisons, the filters,
// the action cycle and the update run on either explorer.

#include "UpdateTab.h"

#include "AppContext.h"
#include "AppIcon.h"
#include "AppTexts.h"
#include "DateTexts.h"
#include "ExplorerTab.h"
#include "Ftp.h"
#include "FtpListModel.h"
#include "FtpListView.h"
#include "FtpMisc.h"
#include "LocalFileList.h"
#include "LocalNames.h"
#include "Prompts.h"
#include "WidgetHelpers.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScopeGuard>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QString UpdateQuestion = QStringLiteral("Etes-vous certain de vouloir mettre votre site à jour?");
const QString UpdateHint = QStringLiteral("Mettre à jour");
constexpr int ActionRole = Qt::UserRole + 1;
constexpr int IconSize = 16;

// The row image of an action: a red cross (delete from the site), a grey
// bar (no change), an orange arrow up to the site, a blue arrow down to the
// local disk.
QPixmap ActionPicture(TUpdateAction action, int size = IconSize)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal u = size / 16.0;
    switch (action) {
    case uaDeleteFromSite:
        painter.setPen(QPen(QColor(200, 30, 30), 3 * u, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4 * u, 4 * u), QPointF(12 * u, 12 * u));
        painter.drawLine(QPointF(12 * u, 4 * u), QPointF(4 * u, 12 * u));
        break;
    case uaNoChange:
        painter.setPen(QPen(QColor(120, 120, 120), 3 * u, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4 * u, 8 * u), QPointF(12 * u, 8 * u));
        break;
    case uaUpload:
    case uaDownload: {
        const bool up = action == uaUpload;
        painter.setPen(Qt::NoPen);
        painter.setBrush(up ? QColor(200, 90, 20) : QColor(30, 110, 200));
        QPolygonF arrow;
        if (up)
            arrow << QPointF(8 * u, 1 * u) << QPointF(14 * u, 8 * u) << QPointF(10 * u, 8 * u)
                  << QPointF(10 * u, 15 * u) << QPointF(6 * u, 15 * u) << QPointF(6 * u, 8 * u) << QPointF(2 * u, 8 * u);
        else
            arrow << QPointF(8 * u, 15 * u) << QPointF(14 * u, 8 * u) << QPointF(10 * u, 8 * u)
                  << QPointF(10 * u, 1 * u) << QPointF(6 * u, 1 * u) << QPointF(6 * u, 8 * u) << QPointF(2 * u, 8 * u);
        painter.drawPolygon(arrow);
        break;
    }
    }
    painter.end();
    return pixmap;
}

// The legend: each row image beside the text its action shows.
QPixmap LegendPicture(const QFont &font)
{
    const QFontMetrics metrics(font);
    const int line = qMax(IconSize, metrics.height()) + 2;
    int width = 0;
    for (int action = uaDeleteFromSite; action <= uaDownload; ++action)
        width = qMax(width, metrics.horizontalAdvance(ActionText(TUpdateAction(action))));
    QPixmap picture(IconSize + 6 + width + 4, line * 4);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setFont(font);
    for (int action = uaDeleteFromSite; action <= uaDownload; ++action) {
        const int top = action * line;
        painter.drawPixmap(0, top + (line - IconSize) / 2, ActionPicture(TUpdateAction(action)));
        painter.drawText(QRect(IconSize + 6, top, width + 4, line), Qt::AlignVCenter | Qt::AlignLeft,
                         ActionText(TUpdateAction(action)));
    }
    painter.end();
    return picture;
}

// A row of the list: sorted by name as the user reads names (case ignored,
// then exactly, so that A.TXT and a.txt keep one order).
class TUpdateItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int order = CompareTextLocale(text(0), other.text(0));
        return order != 0 ? order < 0 : text(0) < other.text(0);
    }
};

TUpdateAction ActionOf(const QTreeWidgetItem *item)
{
    return TUpdateAction(item->data(0, ActionRole).toInt());
}

void SetAction(QTreeWidgetItem *item, TUpdateAction action, const QString &text)
{
    item->setData(0, ActionRole, int(action));
    item->setIcon(0, QIcon(ActionPicture(action)));
    item->setText(1, text);
}

QCheckBox *FilterBox(QWidget *parent, const char *name, const QString &text, bool checked)
{
    auto *box = Named(new QCheckBox(text, parent), name);
    box->setChecked(checked);
    return box;
}
}

TUpdateTab::TUpdateTab(TAppContext &context, TExplorerTab &explorer, QWidget *parent)
    : QWidget(parent), context(context), explorer(explorer)
{
    setObjectName(QStringLiteral("TabSheet3"));
    BuildLayout();
    const TAppContext &c = context;
    c.Connect(updateButton, &QToolButton::clicked, this, &TUpdateTab::SpeedButton1Click);
    for (QCheckBox *box : {olderBox, missingLocallyBox, missingOnSiteBox})
        c.Connect(box, &QCheckBox::clicked, this, &TUpdateTab::CheckBox3Click);
    c.Connect(list, &QTreeWidget::itemDoubleClicked, this, &TUpdateTab::miseajourDblClick);
}

void TUpdateTab::BuildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(VelmarBanner(this, "Image3", QStringLiteral("Velmar"), 320));

    auto *splitter = Named(new QSplitter(Qt::Vertical, this), "Splitter5");
    splitter->setChildrenCollapsible(false);
    auto *top = new QWidget(splitter);
    auto *column = new QVBoxLayout(top);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);

    auto *legend = Named(new QGroupBox(QStringLiteral("&Légende"), top), "GroupBox1");
    auto *legendLayout = new QVBoxLayout(legend);
    auto *legendPicture = Named(new QLabel(legend), "Image4");
    legendPicture->setPixmap(LegendPicture(font()));
    legendLayout->addWidget(legendPicture);
    row->addWidget(legend);

    auto *updateGroup = Named(new QGroupBox(QStringLiteral("Mettre à jour"), top), "GroupBox2");
    auto *updateLayout = new QVBoxLayout(updateGroup);
    updateButton = Named(new QToolButton(updateGroup), "SpeedButton1");
    updateButton->setIcon(ThemedIcon(QStringLiteral("system-software-update"), QStyle::SP_BrowserReload));
    updateButton->setIconSize(QSize(32, 32));
    updateButton->setToolTip(UpdateHint);
    updateLayout->addWidget(updateButton, 0, Qt::AlignCenter);
    row->addWidget(updateGroup);

    auto *display = Named(new QGroupBox(QStringLiteral("Affichage"), top), "GroupBox3");
    auto *displayLayout = new QVBoxLayout(display);
    olderBox = FilterBox(display, "CheckBox3", QStringLiteral("Afficher plus ancien sur serveur"), false);
    missingLocallyBox = FilterBox(display, "CheckBox4", QStringLiteral("Afficher inexistant en local"), true);
    missingOnSiteBox = FilterBox(display, "CheckBox5", QStringLiteral("Afficher inexistant sur serveur web"), true);
    displayLayout->addWidget(olderBox);
    displayLayout->addWidget(missingLocallyBox);
    displayLayout->addWidget(missingOnSiteBox);
    row->addWidget(display);

    row->addStretch(1);
    column->addLayout(row);

    remoteFolderLabel = Named(new QLabel(QStringLiteral("Répertoire distant en cours:"), top), "repencours");
    localFolderLabel = Named(new QLabel(QStringLiteral("Répertoire local en cours:"), top), "replocal");
    // The folder labels have the tab's whole width under the groups, and cut
    // a very long folder rather than widen the window.
    for (QLabel *label : {remoteFolderLabel, localFolderLabel}) {
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        column->addWidget(label);
    }

    list = Named(new QTreeWidget(splitter), "miseajour");
    list->setHeaderLabels({QStringLiteral("Nom"), QStringLiteral("Action")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setIconSize(QSize(IconSize, IconSize));
    list->header()->setSectionsClickable(false);
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(0, 140);
    list->setColumnWidth(1, 575);

    splitter->addWidget(top);
    splitter->addWidget(list);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
}

void TUpdateTab::ShowRemoteFolder(const QString &currentDirectory)
{
    remoteFolderLabel->setText(QStringLiteral("Répertoire distant en cours: ")
                               + currentDirectory.mid(currentDirectory.lastIndexOf(QLatin1Char('/')) + 1));
}

QList<TUpdateRow> TUpdateTab::Rows() const
{
    QList<TUpdateRow> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        rows.append({item->text(0), ActionOf(item), item->text(1)});
    }
    return rows;
}

// --- Comparison ----------------------------------------------------------------------

void TUpdateTab::comparerClick()
{
    CompareWithExplorer();
}

void TUpdateTab::CheckBox3Click()
{
    if (context.QuickExplorerActive())
        CompareWithQuickPanel();
    else
        CompareWithExplorer();
}

void TUpdateTab::CompareWithExplorer()
{
    QList<TCompareRemoteRow> remote;
    const TVexFtpListModel *model = explorer.VexFtpListView1()->Model();
    for (int row = 0; row < model->rowCount(); ++row)
        remote.append({model->Caption(row), model->index(row, TVexFtpListModel::ColType).data().toString(),
                       model->index(row, TVexFtpListModel::ColDate).data().toString(), QDateTime()});
    Compare(TCompareSource::Explorer, remote);
}

void TUpdateTab::Compare(TCompareSource source, const QList<TCompareRemoteRow> &remote)
{
    const bool quick = source == TCompareSource::Quick;
    context.SetQuickExplorerActive(quick);
    // Greyed, the box keeps its state, and its state still counts.
    olderBox->setEnabled(quick);
    context.SetPageEnabled(TPage::Update, true);
    context.ShowPage(TPage::Update);
    list->clear();

    TCompareInput input;
    input.Source = source;
    input.Remote = remote;
    input.Filters.OlderOnServer = olderBox->isChecked();
    input.Filters.MissingLocally = missingLocallyBox->isChecked();
    input.Filters.MissingOnSite = missingOnSiteBox->isChecked();
    const TLocalFileList *files = explorer.Files();
    for (int row = 0; row < files->RowCount(); ++row)
        input.Local.append({files->RowCaption(row), files->RowType(row)});

    const QString folder = context.LocalFolder();
    input.LocalFile = [folder](const QString &name) {
        // Only a name that stays inside the local folder as it is names a
        // local file.
        const std::optional<QString> path = LocalPathOf(folder, name);
        if (!path || LocalNameOf(name) != name)
            return TLocalFileState{TLocalFileState::Unusable, {}};
        const QFileInfo info(*path);
        if (!info.isFile())
            return TLocalFileState{TLocalFileState::Missing, {}};
        return TLocalFileState{TLocalFileState::File, info.lastModified()};
    };
    input.LocalDateText = [](const QDate &day) { return ShortDateText(day); };
    ShowRows(CompareSites(input));
}

void TUpdateTab::ShowRows(const QList<TUpdateRow> &rows)
{
    QList<QTreeWidgetItem *> items;
    for (const TUpdateRow &row : rows) {
        auto *item = new TUpdateItem(QStringList{row.Name, QString()});
        SetAction(item, row.Action, row.Text);
        items.append(item);
    }
    list->addTopLevelItems(items);
    list->sortItems(0, Qt::AscendingOrder);
}

// --- Action cycle ---------------------------------------------------------------------

void TUpdateTab::miseajourDblClick()
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list->topLevelItem(i);
        if (!item->isSelected())
            continue;
        const TUpdateAction next = NextAction(ActionOf(item));
        SetAction(item, next, ActionText(next));
    }
}

// --- Update run -----------------------------------------------------------------------

void TUpdateTab::SpeedButton1Click()
{
    // Transfers handle events while they run: a second click then would
    // start the same batches again beside the first ones.
    if (running)
        return;
    const QPointer<TUpdateTab> alive(this);
    running = true;
    updateButton->setEnabled(false);
    const auto done = qScopeGuard([this, alive] {
        if (alive) {
            running = false;
            updateButton->setEnabled(true);
        }
    });
    TUpdateBatches batches;
    if (Prompts().Confirm(context.Window(), MainText::Caption, UpdateQuestion))
        batches = UpdateBatches(Rows());
    if (!alive)
        return;
    explorer.ShowTransferDisplay();
    if (context.QuickExplorerActive())
        RunOnQuickPanel(batches);
    else
        RunOnExplorer(batches);
    if (!alive)
        return;
    // The local tree and list read the folder again.
    context.SelectLocalFolder(context.LocalFolder());
}

QStringList TUpdateTab::PathsOf(const QStringList &names, QStringList &kept, bool report) const
{
    QStringList paths;
    QStringList refused;
    kept.clear();
    for (const QString &name : names) {
        const std::optional<QString> path = LocalPathOf(context.LocalFolder(), name);
        if (path) {
            kept << name;
            paths << *path;
        } else {
            refused << UnusableLocalNameText(name);
        }
    }
    if (report && !refused.isEmpty())
        Prompts().Message(context.Window(), MainText::Caption, refused.join(QLatin1Char('\n')), TMessageKind::Error);
    return paths;
}

void TUpdateTab::WaitWhileClientBusy()
{
    // The client ends every operation by itself (reply, time-out or lost
    // connection), each end being an event. A batch's completion refreshes
    // the remote list: that listing too is waited for.
    const QPointer<TVexFtp> client = context.VexFtp1();
    while (client && client->Busy() && client->Connected())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TUpdateTab::RunOnExplorer(const TUpdateBatches &batches)
{
    const QPointer<TUpdateTab> alive(this);
    context.ShowPage(TPage::Explorer);
    const QPointer<TVexFtp> client = context.VexFtp1();
    if (!batches.Uploads.isEmpty()) {
        WaitWhileClientBusy();
        if (!alive || !client)
            return;
        QStringList names;
        const QStringList paths = PathsOf(batches.Uploads, names, false);
        if (!names.isEmpty())
            client->PutFiles(paths, names);
        if (!alive || !client)
            return;
    }
    if (!batches.Downloads.isEmpty()) {
        WaitWhileClientBusy();
        if (!alive || !client)
            return;
        QStringList names;
        const QStringList paths = PathsOf(batches.Downloads, names, true);
        if (!names.isEmpty())
            client->GetFiles(names, paths);
        if (!alive || !client)
            return;
    }
    if (!batches.Deletions.isEmpty()) {
        WaitWhileClientBusy();
        if (!alive || !client)
            return;
        client->DeleteFiles(batches.Deletions);
    }
}
