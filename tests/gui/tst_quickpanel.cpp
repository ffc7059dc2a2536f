// The quick explorer panel against a real pyftpdlib server: connecting (the
// password box, refused folders and logins), listings (parent rows, size,
// date and type texts, totals), sorting by menu and by header, opening
// folders and downloading, deleting, creating and renaming entries, uploads
// on the GUI thread and on the worker (desktop drops, refusals while busy),
// the pop-up's states, and destruction in the middle of transfers. Questions
// are answered through the scripted prompter.
#include "../QuickTestKit.h"
#include "BTFTPConnection.h"
#include "FileTypeNames.h"
#include "Prompts.h"
#include "PyFtpdServer.h"
#include "QuickFileModel.h"
#include "QuickListView.h"
#include "QuickPanelTexts.h"
#include "ZEVudeDadaVAV.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <thread>

using namespace QuickTestKit;
namespace T = QuickPanelTexts;

namespace {

constexpr TdoOptions AllOptions = TdoOptions(doAllowDelete | doAllowDownload | doAllowNewFolder | doAllowRename
                                             | doAllowUpload | doDisplayProgress | doShowHourglass);

QString Msg(const QString &format, const QStringList &args = {})
{
    return FormatQuickMessage(format, args);
}

QStringList Captions(const TQuickFileModel *model)
{
    QStringList captions;
    for (const TQuickFileRow &row : model->Rows())
        captions << row.Caption;
    return captions;
}

// The end of a FIFO that the panel's uploads read from: the worker blocks
// on it until the test writes, so that "busy" lasts exactly as long as the
// test wants.
class TFifo
{
public:
    explicit TFifo(const QString &path) : path(path) { made = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }
    ~TFifo() { Finish({}, 0); }
    bool Made() const { return made; }
    // Opens the writing end once a reader waits (for up to waitMs), writes
    // bytes and closes; the reader then sees the end of the file.
    bool Finish(const QByteArray &bytes, int waitMs = 5000)
    {
        if (!made || finished)
            return true;
        const QByteArray name = QFile::encodeName(path);
        QDeadlineTimer deadline(waitMs);
        int fd = -1;
        // Non-blocking: fails at once while no reader has opened the FIFO.
        while ((fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK)) < 0 && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (fd < 0)
            return false;
        finished = true;
        qint64 written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
            if (n > 0)
                written += n;
            else if (n < 0 && errno != EAGAIN)
                break;  // the reader has gone
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::close(fd);
        return written == bytes.size();
    }

private:
    QString path;
    bool made = false;
    bool finished = false;
};

} // namespace

class tst_QuickPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void sizeText_data();
    void sizeText();
    void dateText();
    void comparison_data();
    void comparison();

    void construction();
    void passwordAskedOnce_data();
    void passwordAskedOnce();
    void connectRefused_data();
    void connectRefused();
    void missingHostOrLogin();
    void parentRowsAndRetour();
    void listingTexts();
    void datesAsValues();
    void nameSortFoldersFirst();
    void headerClicks();
    void sortAndViewItems();
    void folderPaneAndSelection();
    void download_data();
    void download();
    void deleteSelection_data();
    void deleteSelection();
    void newFolder();
    void rename_data();
    void rename();
    void deleteKeyInEditorDeletesNothing();
    void dropThreeFiles();
    void busyRefusals();
    void singleUploadAndDelete();
    void popupStates();
    void transferType();
    void disconnect();
    void disconnectedDuringWorker();
    void destroyedDuringWorker();
    void destroyedDuringGuiUpload();

private:
    void MakePanel();
    bool ConnectTo(const QString &folder = {}, const QString &user = QStringLiteral("anonymous"),
                   const QString &password = QStringLiteral("guest"));
    int RowOf(const QString &caption) const;
    void Select(const QStringList &captions);
    void DoubleClick(const QString &caption);
    void ClickHeader(int column);
    bool Drop(const QStringList &paths);
    QString RemotePath(const QString &name) const { return server->RootPath() + QLatin1Char('/') + name; }

    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<TZEVudeDadaVAV> panel;
    std::unique_ptr<QTemporaryDir> local;
    TScriptedPrompter prompter;

    QStringList infos;
    QStringList errors;
    int changes = 0;
    int connects = 0;
    int disconnects = 0;
    int clicks = 0;
    int doubleClicks = 0;
};

void tst_QuickPanel::initTestCase()
{
    // A FIFO whose reader has gone answers writes with an error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    QStandardPaths::setTestModeEnabled(true);
    // The interface is French; sizes and totals use the user's separators.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    // One server for every test; each test starts from an empty root.
    server = std::make_unique<PyFtpdServer>();
    server->AddUser(QStringLiteral("norename"), QStringLiteral("pw"), {}, QStringLiteral("elradmwMT"));
    QVERIFY2(server->Start(), qPrintable(server->ErrorString()));
}

void tst_QuickPanel::cleanupTestCase()
{
    server.reset();
}

void tst_QuickPanel::init()
{
    QVERIFY(server && server->Running());
    QDir root(server->RootPath());
    for (const QFileInfo &entry : root.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        QVERIFY(entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                     : QFile::remove(entry.filePath()));
    QVERIFY(QDir().mkpath(RemotePath(QStringLiteral("pub"))));
    local = std::make_unique<QTemporaryDir>();
    QVERIFY(local->isValid());
    prompter.Clear();
    prompter.Install();
    infos.clear();
    errors.clear();
    changes = connects = disconnects = clicks = doubleClicks = 0;
    MakePanel();
}

void tst_QuickPanel::MakePanel()
{
    panel = std::make_unique<TZEVudeDadaVAV>();
    panel->setObjectName(QStringLiteral("ZEVudeDadaVAV1"));
    panel->OnDisplayMessage = [this](QObject *sender, const QString &text, bool isError) {
        QVERIFY(sender == panel.get());
        (isError ? errors : infos) << text;
    };
    panel->OnChange = [this](QObject *) { ++changes; };
    panel->OnConnect = [this](QObject *) { ++connects; };
    panel->OnDisconnect = [this](QObject *) { ++disconnects; };
    panel->OnClick = [this](QObject *) { ++clicks; };
    panel->OnDblClick = [this](QObject *) { ++doubleClicks; };
    panel->Loaded();
    panel->SetHostName(server->Host());
    panel->SetPort(server->Port());
    panel->resize(800, 500);
}

void tst_QuickPanel::cleanup()
{
    panel.reset();
    // Lets the connection's stand-in go (it is deleted later).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    local.reset();
}

bool tst_QuickPanel::ConnectTo(const QString &folder, const QString &user, const QString &password)
{
    panel->SetRemoteDir(folder);
    panel->SetLoginName(user);
    panel->SetPassword(password);
    return panel->Connect();
}

int tst_QuickPanel::RowOf(const QString &caption) const
{
    return int(Captions(panel->FileListModel()).indexOf(caption));
}

void tst_QuickPanel::Select(const QStringList &captions)
{
    QItemSelectionModel *selection = panel->FileList()->ItemView()->selectionModel();
    selection->clearSelection();
    for (const QString &caption : captions) {
        const int row = RowOf(caption);
        QVERIFY2(row >= 0, qPrintable(caption));
        selection->select(panel->FileListModel()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void tst_QuickPanel::DoubleClick(const QString &caption)
{
    const int row = RowOf(caption);
    QVERIFY2(row >= 0, qPrintable(caption));
    QAbstractItemView *view = panel->FileList()->ItemView();
    const QPoint where = view->visualRect(panel->FileListModel()->index(row, 0)).center();
    // A click, then the double-click event, as the window system delivers them.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, where);
}

void tst_QuickPanel::ClickHeader(int column)
{
    QHeaderView *header = panel->FileList()->Header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// A desktop drop on the file list, as the window system delivers it: the
// drag enters the list (and passes on to the panel), then drops.
bool tst_QuickPanel::Drop(const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    QWidget *target = panel->FileList()->ItemView()->viewport();
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// ---------------------------------------------------------------------------
// Texts and comparison

void tst_QuickPanel::sizeText_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << qint64(0) << "1 KB";
    QTest::newRow("under half a KB") << qint64(300) << "1 KB";
    QTest::newRow("1600 bytes") << qint64(1600) << "2 KB";
    QTest::newRow("30000 bytes") << qint64(30000) << "29 KB";
    QTest::newRow("one MB") << qint64(1048576) << QStringLiteral("1\u202f024 KB");
    // 64-bit: a 5 GB file is not folded into 32 bits.
    QTest::newRow("5 GB") << qint64(5000000000) << QStringLiteral("4\u202f882\u202f813 KB");
}

void tst_QuickPanel::sizeText()
{
    QFETCH(qint64, size);
    QFETCH(QString, text);
    QCOMPARE(QuickSizeText(size), text);
}

void tst_QuickPanel::dateText()
{
    QCOMPARE(QuickDateText(QDateTime()), QString());
    QCOMPARE(QuickDateText(QDateTime(QDate(2003, 5, 1), QTime(0, 0), Qt::UTC)), QStringLiteral("01/05/2003"));
    QCOMPARE(QuickDateText(QDateTime(QDate(2024, 12, 31), QTime(9, 5), Qt::UTC)),
             QStringLiteral("31/12/2024 09:05:00"));
    // Whatever the user's locale, the text begins with dd/MM/yyyy.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString text = QuickDateText(QDateTime(QDate(2003, 5, 1), QTime(13, 1), Qt::UTC));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QCOMPARE(text, QStringLiteral("01/05/2003 13:01:00"));
}

void tst_QuickPanel::comparison_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    // Rows are written "name|size|date|kind", kind f (file), d (folder), p (parent).
    QTest::newRow("name: folder before file") << int(qskName) << "zeta||||d" << "Alpha|10|||f" << -1;
    QTest::newRow("name: files ignore case") << int(qskName) << "b.txt|10|||f" << "A.TXT|10|||f" << 1;
    QTest::newRow("name: files equal but for case") << int(qskName) << "a.txt|10|||f" << "A.txt|20|||f" << 0;
    QTest::newRow("name: folders keep case") << int(qskName) << "alpha||||d" << "Beta||||d" << 1;
    QTest::newRow("name: parent before folders") << int(qskName) << "..||||p" << "Beta||||d" << -1;
    QTest::newRow("size: folder first") << int(qskSize) << "docs||||d" << "a|0|||f" << -1;
    QTest::newRow("size: smaller first") << int(qskSize) << "a|2000|||f" << "b|100|||f" << 1;
    QTest::newRow("size: beyond 32 bits") << int(qskSize) << "a|5000000000|||f" << "b|705032704|||f" << 1;
    QTest::newRow("date: earlier first") << int(qskDate) << "a|1|2003-05-01T10:00||f" << "b|1|2003-05-01T10:01||f" << -1;
    QTest::newRow("date: none is earliest") << int(qskDate) << "a|1|||f" << "b|1|1990-01-01T00:00||f" << -1;
    QTest::newRow("date: equal") << int(qskDate) << "a|1|2003-05-01T10:00||f" << "b|2|2003-05-01T10:00||f" << 0;
    QTest::newRow("type: folders by name, first") << int(qskType) << "b||||d" << "a.txt|1|||f" << -1;
    QTest::newRow("type: by type text") << int(qskType) << "b.zip|1|||f" << "a.txt|1|||f" << 0;
}

void tst_QuickPanel::comparison()
{
    QFETCH(int, key);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    const auto row = [](const QString &text) {
        const QStringList parts = text.split(QLatin1Char('|'));
        TQuickFileRow result;
        result.Caption = parts.at(0);
        result.Data = std::make_shared<TExtraFileData>();
        const QString kind = parts.at(4);
        result.Data->IsDirectory = kind != QLatin1String("f");
        result.Data->Size = kind == QLatin1String("d") ? -1 : parts.at(1).toLongLong();
        if (kind == QLatin1String("f"))
            result.SizeText = QuickSizeText(result.Data->Size);
        if (!parts.at(2).isEmpty())
            result.Data->DateTime = QDateTime::fromString(parts.at(2), Qt::ISODate).toUTC();
        result.DateText = QuickDateText(result.Data->DateTime);
        result.TypeText = result.IsParent() ? QString() : QuickEntryTypeName(result.Caption, result.IsDirectory());
        return result;
    };
    const TQuickFileRow first = row(a);
    const TQuickFileRow second = row(b);
    const int result = CompareQuickRows(first, second, TQuickSortKey(key));
    if (key == qskType && order == 0) {
        // The two type texts come from the MIME database: their order is theirs.
        QCOMPARE(result < 0, first.TypeText < second.TypeText);
        return;
    }
    QCOMPARE((result > 0) - (result < 0), order);
    QCOMPARE((CompareQuickRows(second, first, TQuickSortKey(key)) > 0) - (CompareQuickRows(second, first, TQuickSortKey(key)) < 0), -order);
}

// ---------------------------------------------------------------------------
// Construction and connecting

void tst_QuickPanel::construction()
{
    TZEVudeDadaVAV fresh;
    QCOMPARE(fresh.Active(), false);
    QCOMPARE(fresh.HostName(), QStringLiteral("localhost"));
    QCOMPARE(fresh.LoginName(), QStringLiteral("anonymous"));
    QCOMPARE(fresh.Password(), QString());
    QCOMPARE(fresh.Port(), quint16(21));
    QCOMPARE(fresh.Passive(), true);
    QCOMPARE(fresh.RemoteDir(), QString());
    QCOMPARE(fresh.Repertoiretele(), QString());
    QCOMPARE(fresh.TransferType(), ttUnknown);
    QCOMPARE(fresh.FTPOptions(), TdoOptions());
    QCOMPARE(fresh.ShowLogWindow(), true);
    QCOMPARE(fresh.ShowDirectory(), true);
    QCOMPARE(fresh.SortKey(), qskName);
    QCOMPARE(fresh.ViewStyle(), qvsReport);
    QVERIFY(!fresh.Connected() && !fresh.Busy());
    QVERIFY(!fresh.acceptDrops());
    QVERIFY(fresh.LogPopupMenu()->actions().isEmpty());
    QCOMPARE(fresh.FolderPane()->ViewStyle(), qvsSmallIcon);

    // The pop-up's items, in their order.
    QStringList captions;
    for (QAction *action : fresh.PopupMenu()->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(captions, (QStringList{"Ouvrir", "-", "Effacer", "Renommer", "Nouveau répertoire", "Voir", "-", "Tri",
                                    "-", "Type de Transfert", "Actualiser", "-", "Retour"}));
    QVERIFY(fresh.MenuItem(QStringLiteral("Details"))->isChecked());
    QVERIFY(fresh.MenuItem(QStringLiteral("parNom"))->isChecked());

    // Captions and messages go through OnLocalize once the hooks are in.
    QStringList seen;
    fresh.OnLocalize = [&](QObject *, const QString &, QString &format, const QStringList &) {
        seen << format;
        if (format == T::ColumnName)
            format = QStringLiteral("Name");
    };
    QStringList shown;
    fresh.OnDisplayMessage = [&](QObject *, const QString &text, bool) { shown << text; };
    fresh.Loaded();
    fresh.Loaded();
    QCOMPARE(shown, QStringList{T::NotConnected});
    QCOMPARE(fresh.LogLines(), QStringList{T::NotConnected});
    QCOMPARE(fresh.FileListModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(fresh.FileListModel()->headerData(2, Qt::Horizontal).toString(), T::ColumnDate);
    for (const QString &text : {T::ColumnType, T::MenuRefresh, T::MenuSortSize, T::NotConnected})
        QVERIFY2(seen.contains(text), qPrintable(text));

    // doAllowUpload makes the panel a drop target; the strips follow their
    // properties.
    fresh.SetFTPOptions(doAllowUpload);
    QVERIFY(fresh.Active() && fresh.acceptDrops());
    fresh.SetFTPOptions({});
    QVERIFY(!fresh.Active() && !fresh.acceptDrops());
    fresh.SetShowDirectory(false);
    QVERIFY(fresh.DirectoryField()->parentWidget()->isHidden());
    fresh.SetShowLogWindow(false);
    QVERIFY(fresh.LogWindow()->isHidden());
}

void tst_QuickPanel::passwordAskedOnce_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("cancelled") << false;
    QTest::newRow("answered") << true;
}

void tst_QuickPanel::passwordAskedOnce()
{
    QFETCH(bool, answer);
    prompter.QueueInput(answer ? QStringLiteral("guest") : QString());
    QCOMPARE(ConnectTo({}, QStringLiteral("anonymous"), QString()), answer);
    QCOMPARE(prompter.Asked().size(), 1);
    QCOMPARE(prompter.Asked().first().kind, QStringLiteral("input"));
    QCOMPARE(prompter.Asked().first().caption, QStringLiteral("Login to ") + server->Host());
    QCOMPARE(prompter.Asked().first().text, QStringLiteral("Password for anonymous"));
    QCOMPARE(panel->Connected(), answer);
    QVERIFY(errors.isEmpty());
    if (!answer) {
        // Nothing more is shown than the message of the panel's start.
        QCOMPARE(infos, QStringList{T::NotConnected});
        QCOMPARE(panel->LogLines(), QStringList{T::NotConnected});
        QCOMPARE(connects, 0);
        QCOMPARE(panel->Password(), QString());
        return;
    }
    QCOMPARE(panel->Password(), QStringLiteral("guest"));
    QCOMPARE(infos.mid(0, 4), (QStringList{T::NotConnected, Msg(T::ConnectingAs, {server->Host(), "anonymous"}),
                                           Msg(T::LoggedIn, {"anonymous", server->Host()}),
                                           Msg(T::ListingStarted, {"/"})}));
    QCOMPARE(connects, 1);
    QCOMPARE(changes, 1);
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/"));
    QCOMPARE(panel->DirectoryText(), QStringLiteral("/"));
}

void tst_QuickPanel::connectRefused_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("noServer");
    QTest::addColumn<QString>("error");
    QTest::newRow("folder that cannot be entered") << "nosuch" << "anonymous" << "guest" << false << "550 ";
    QTest::newRow("login refused") << "" << PyFtpdServer::DefaultUser << "wrong" << false << "530 ";
    QTest::newRow("no server") << "" << "anonymous" << "guest" << true << "";
}

void tst_QuickPanel::connectRefused()
{
    QFETCH(QString, folder);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, noServer);
    QFETCH(QString, error);
    if (noServer) {
        // A port that nothing listens on any more.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        panel->SetPort(probe.serverPort());
        probe.close();
        error = Msg(T::ConnectFailed, {server->Host()});
    }
    QVERIFY(!ConnectTo(folder, user, password));
    QVERIFY(!panel->Connected());
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(error), qPrintable(errors.first()));
    if (!folder.isEmpty())
        QVERIFY(infos.contains(Msg(T::MainFolder, {folder})));
    // Disconnected: the messages, the hook, empty lists.
    QCOMPARE(infos.mid(infos.size() - 2),
             (QStringList{Msg(T::Disconnecting, {server->Host()}), Msg(T::Disconnected, {user, server->Host()})}));
    QCOMPARE(disconnects, 1);
    QCOMPARE(connects, 0);
    QCOMPARE(panel->RowCount(), 0);
    QCOMPARE(panel->FolderPaneModel()->RowCount(), 0);
}

void tst_QuickPanel::missingHostOrLogin()
{
    panel->SetHostName({});
    QVERIFY(!ConnectTo());
    QCOMPARE(errors, QStringList{T::HostMissing});
    panel->SetHostName(server->Host());
    QVERIFY(!ConnectTo({}, QString()));
    QCOMPARE(errors, (QStringList{T::HostMissing, T::LoginMissing}));
    QVERIFY(prompter.Asked().isEmpty());
    QVERIFY(!panel->Connected());
}

// ---------------------------------------------------------------------------
// Listings

void tst_QuickPanel::parentRowsAndRetour()
{
    QVERIFY(QDir().mkpath(RemotePath(QStringLiteral("pub/docs"))));
    panel->SetFTPOptions(AllOptions);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QVERIFY(ConnectTo());
    QAction *retour = panel->MenuItem(QStringLiteral("Retour"));
    QVERIFY(retour);

    // At the root: no parent rows, "Retour" off.
    QCOMPARE(Captions(panel->FileListModel()), QStringList{QStringLiteral("pub")});
    QCOMPARE(Captions(panel->FolderPaneModel()), QStringList{QStringLiteral("pub")});
    panel->UpdatePopupMenu();
    QVERIFY(!retour->isEnabled());

    DoubleClick(QStringLiteral("pub"));
    QCOMPARE(doubleClicks, 1);
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/pub"));
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"..", "docs"}));
    QCOMPARE(Captions(panel->FolderPaneModel()), (QStringList{"..", "docs"}));
    const TQuickFileRow parent = panel->Row(0);
    QVERIFY(parent.IsDirectory());
    QCOMPARE(parent.Size(), qint64(0));
    QVERIFY(parent.SizeText.isEmpty() && parent.DateText.isEmpty() && parent.TypeText.isEmpty());
    // Both rows of an entry share its data.
    QCOMPARE(panel->FolderPaneModel()->Row(1).Data, panel->Row(1).Data);
    panel->UpdatePopupMenu();
    QVERIFY(retour->isEnabled());

    retour->trigger();
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/"));
    QCOMPARE(Captions(panel->FileListModel()), QStringList{QStringLiteral("pub")});
    panel->UpdatePopupMenu();
    QVERIFY(!retour->isEnabled());

    // ".." goes up as well.
    DoubleClick(QStringLiteral("pub"));
    DoubleClick(QStringLiteral(".."));
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/"));
    QVERIFY(errors.isEmpty());
}

void tst_QuickPanel::listingTexts()
{
    QVERIFY(WriteFile(RemotePath("pub/empty.bin"), {}));
    QVERIFY(WriteFile(RemotePath("pub/a.bin"), Pattern(1600)));
    QVERIFY(WriteFile(RemotePath("pub/b.txt"), Pattern(30000)));
    QVERIFY(QDir().mkpath(RemotePath("pub/docs")));
    // A sparse file: its size is listed, nothing of it is ever read.
    QFile big(RemotePath("pub/big.iso"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(5000000000));
    big.close();

    QVERIFY(ConnectTo(QStringLiteral("pub")));
    const auto row = [this](const QString &caption) { return panel->Row(RowOf(caption)); };
    QCOMPARE(row("empty.bin").SizeText, QStringLiteral("1 KB"));
    QCOMPARE(row("a.bin").SizeText, QStringLiteral("2 KB"));
    QCOMPARE(row("b.txt").SizeText, QStringLiteral("29 KB"));
    QCOMPARE(row("big.iso").SizeText, QStringLiteral("4\u202f882\u202f813 KB"));
    QCOMPARE(row("big.iso").Size(), qint64(5000000000));
    QCOMPARE(row("a.bin").Size(), qint64(1600));
    QCOMPARE(row("docs").SizeText, QString());
    QCOMPARE(row("docs").Size(), qint64(-1));
    QVERIFY(row("docs").IsDirectory());
    QCOMPARE(row("docs").TypeText, QuickFolderTypeName());
    QCOMPARE(row("b.txt").TypeText, FileTypeName(QStringLiteral("b.txt")));
    QVERIFY(!row("b.txt").TypeText.isEmpty());
    QCOMPARE(panel->FileCount(), 4);
    QCOMPARE(panel->TotalSize(), qint64(5000031600));
    QVERIFY(infos.contains(
        Msg(T::ListingDone, {QStringLiteral("5\u202f000\u202f031\u202f600"), QStringLiteral("4")})));
    // The model gives the same values to readers such as the export.
    const TQuickFileModel *model = panel->FileListModel();
    const QModelIndex big0 = model->index(RowOf("big.iso"), TQuickFileModel::ColSize);
    QCOMPARE(model->data(big0, TQuickFileModel::SizeRole).toLongLong(), qint64(5000000000));
    QCOMPARE(model->data(big0).toString(), row("big.iso").SizeText);
    QCOMPARE(model->headerData(TQuickFileModel::ColSize, Qt::Horizontal).toString(), QStringLiteral("Taille"));
    QVERIFY(model->data(big0, Qt::TextAlignmentRole).value<Qt::Alignment>().testFlag(Qt::AlignRight));
    // The columns' own widths; sizes and dates are never cut short by the font.
    const QHeaderView *header = panel->FileList()->Header();
    QCOMPARE(header->sectionSize(TQuickFileModel::ColName), 150);
    QCOMPARE(header->sectionSize(TQuickFileModel::ColType), 200);
    const QFontMetrics metrics(panel->FileList()->ReportView()->font());
    QVERIFY(header->sectionSize(TQuickFileModel::ColSize) >= 75);
    QVERIFY(header->sectionSize(TQuickFileModel::ColSize) > metrics.horizontalAdvance(row("big.iso").SizeText));
    QVERIFY(header->sectionSize(TQuickFileModel::ColDate) >= 120);
    QVERIFY(header->sectionSize(TQuickFileModel::ColDate)
            > metrics.horizontalAdvance(QuickDateText(QDateTime(QDate(2024, 12, 28), QTime(23, 58, 58), Qt::UTC))));
}

void tst_QuickPanel::datesAsValues()
{
    QVERIFY(WriteFile(RemotePath("pub/old.txt"), "old"));
    QVERIFY(WriteFile(RemotePath("pub/new.txt"), "new"));
    const QDateTime old(QDate(2003, 5, 1), QTime(12, 34), Qt::UTC);
    const QDateTime recent = QDateTime(QDateTime::currentDateTimeUtc().date().addDays(-1), QTime(10, 20), Qt::UTC);
    for (const auto &[name, when] : {std::pair{QStringLiteral("old.txt"), old}, std::pair{QStringLiteral("new.txt"), recent}}) {
        QFile file(RemotePath(QStringLiteral("pub/") + name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
    }
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    // Listings give no time for old files, and minutes for recent ones.
    const TQuickFileRow oldRow = panel->Row(RowOf("old.txt"));
    const TQuickFileRow newRow = panel->Row(RowOf("new.txt"));
    QCOMPARE(oldRow.DateText, QStringLiteral("01/05/2003"));
    QCOMPARE(oldRow.Data->DateTime, QDateTime(QDate(2003, 5, 1), QTime(0, 0), Qt::UTC));
    QCOMPARE(newRow.DateText, recent.date().toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 10:20:00"));
    QCOMPARE(newRow.Data->DateTime, recent);
    panel->SortBy(qskDate);
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"..", "old.txt", "new.txt"}));
}

void tst_QuickPanel::nameSortFoldersFirst()
{
    for (const char *name : {"Beta", "alpha"})
        QVERIFY(QDir().mkpath(RemotePath(QStringLiteral("pub/") + QLatin1String(name))));
    for (const char *name : {"b.txt", "A.txt", "c.TXT"})
        QVERIFY(WriteFile(RemotePath(QStringLiteral("pub/") + QLatin1String(name)), "x"));
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    // Folders first and with regard to case ("B" before "a"), files without.
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"..", "Beta", "alpha", "A.txt", "b.txt", "c.TXT"}));
    QCOMPARE(Captions(panel->FolderPaneModel()), (QStringList{"..", "Beta", "alpha"}));
}

void tst_QuickPanel::headerClicks()
{
    QVERIFY(QDir().mkpath(RemotePath("pub/docs")));
    QVERIFY(WriteFile(RemotePath("pub/small.bin"), Pattern(10)));
    QVERIFY(WriteFile(RemotePath("pub/large.bin"), Pattern(5000)));
    QVERIFY(WriteFile(RemotePath("pub/mid.bin"), Pattern(2000)));
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"..", "docs", "large.bin", "mid.bin", "small.bin"}));

    // First click on "Taille": size becomes the key, ascending.
    ClickHeader(TQuickFileModel::ColSize);
    QCOMPARE(panel->SortKey(), qskSize);
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"docs", "..", "small.bin", "mid.bin", "large.bin"}));
    // Second click: reversed.
    ClickHeader(TQuickFileModel::ColSize);
    QVERIFY(panel->SortDescending(qskSize));
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"large.bin", "mid.bin", "small.bin", "..", "docs"}));
    // The menu's check stays where the menu put it.
    QVERIFY(panel->MenuItem(QStringLiteral("parNom"))->isChecked());
    // Back to names, then "Taille" again: its flag kept its value.
    ClickHeader(TQuickFileModel::ColName);
    QCOMPARE(panel->SortKey(), qskName);
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"..", "docs", "large.bin", "mid.bin", "small.bin"}));
    ClickHeader(TQuickFileModel::ColSize);
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"large.bin", "mid.bin", "small.bin", "..", "docs"}));
    // The selection follows its row through a re-sort.
    Select({QStringLiteral("mid.bin")});
    ClickHeader(TQuickFileModel::ColName);
    QCOMPARE(panel->SelectedRows(), QList<int>{RowOf("mid.bin")});
}

void tst_QuickPanel::sortAndViewItems()
{
    QVERIFY(WriteFile(RemotePath("pub/b.zip"), Pattern(3000)));
    QVERIFY(WriteFile(RemotePath("pub/a.txt"), Pattern(100)));
    QVERIFY(QDir().mkpath(RemotePath("pub/zdir")));
    panel->SetFTPOptions(AllOptions);
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    panel->MenuItem(QStringLiteral("parTaille"))->trigger();
    QCOMPARE(panel->SortKey(), qskSize);
    QVERIFY(panel->MenuItem(QStringLiteral("parTaille"))->isChecked());
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"zdir", "..", "a.txt", "b.zip"}));
    panel->MenuItem(QStringLiteral("parType"))->trigger();
    QCOMPARE(panel->SortKey(), qskType);
    // Rows without a size text sort as " " + caption: before any type text.
    QCOMPARE(Captions(panel->FileListModel()).mid(0, 2), (QStringList{"..", "zdir"}));
    panel->MenuItem(QStringLiteral("parNom"))->trigger();
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"..", "zdir", "a.txt", "b.zip"}));

    const QList<QPair<QString, TQuickViewStyle>> styles{
        {"Grandesicones", qvsIcon}, {"Petitesicones", qvsSmallIcon}, {"Liste", qvsList}, {"Details", qvsReport}};
    for (const auto &[name, style] : styles) {
        panel->MenuItem(name)->trigger();
        QCOMPARE(panel->ViewStyle(), style);
        QVERIFY(panel->MenuItem(name)->isChecked());
        QCOMPARE(panel->FileList()->ItemView() == panel->FileList()->ReportView(), style == qvsReport);
    }
    QCOMPARE(panel->FileList()->IconView()->viewMode(), QListView::ListMode);
    panel->MenuItem(QStringLiteral("Grandesicones"))->trigger();
    QCOMPARE(panel->FileList()->IconView()->viewMode(), QListView::IconMode);
}

void tst_QuickPanel::folderPaneAndSelection()
{
    QVERIFY(QDir().mkpath(RemotePath("pub/docs")));
    QVERIFY(WriteFile(RemotePath("pub/a.txt"), "a"));
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    QCOMPARE(panel->DirectoryText(), QStringLiteral("/pub"));
    // Selecting a row shows folder + "/" + caption; display only.
    panel->FileList()->SelectRow(RowOf("a.txt"));
    QCOMPARE(panel->DirectoryText(), QStringLiteral("/pub/a.txt"));
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/pub"));

    // A click in the folder pane opens the folder, then OnClick.
    QListView *pane = panel->FolderPane()->IconView();
    const int docs = int(Captions(panel->FolderPaneModel()).indexOf("docs"));
    QVERIFY(docs >= 0);
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, pane->visualRect(panel->FolderPaneModel()->index(docs, 0)).center());
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/pub/docs"));
    QCOMPARE(clicks, 1);
    QCOMPARE(panel->DirectoryText(), QStringLiteral("/pub/docs"));
    // At the root no "/" is doubled.
    panel->ParentFolder();
    panel->ParentFolder();
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/"));
    panel->FileList()->SelectRow(RowOf("pub"));
    QCOMPARE(panel->DirectoryText(), QStringLiteral("/pub"));
    // The owner may disable the pane.
    panel->SetFolderPaneEnabled(false);
    QVERIFY(!panel->FolderPane()->isEnabled());
}

// ---------------------------------------------------------------------------
// Downloads

void tst_QuickPanel::download_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("dialog");
    QTest::newRow("existing file, answered No") << true << false << false;
    QTest::newRow("existing file, answered Yes") << true << true << false;
    QTest::newRow("new file through the save dialog") << false << false << true;
}

void tst_QuickPanel::download()
{
    QFETCH(bool, existing);
    QFETCH(bool, answer);
    QFETCH(bool, dialog);
    const QByteArray remote = Pattern(700000, 7);
    QVERIFY(WriteFile(RemotePath("pub/a.bin"), remote));
    const QString target = local->filePath(QStringLiteral("a.bin"));
    if (existing)
        QVERIFY(WriteFile(target, "keep"));
    QList<qint64> done;
    panel->OnDisplayProgress = [&](TBTFTPConnection *, qint64 doneSize, qint64, qint64, qint64, const QString &,
                                   const QString &) { done << doneSize; };
    QStringList asked;
    if (dialog) {
        panel->SetRepertoiretele(local->path());
        prompter.QueuePath(target);
    } else {
        panel->OnGetLocalFile = [&](QObject *, const QString &name, QString &path) {
            asked << name;
            path = target;
        };
    }
    prompter.QueueConfirm(answer);
    panel->SetFTPOptions(AllOptions);
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    Select({QStringLiteral("a.bin")});
    panel->UpdatePopupMenu();
    QAction *first = panel->MenuItem(QStringLiteral("Ouvrir"));
    QCOMPARE(first->text(), QStringLiteral("Copier"));
    QVERIFY(first->isEnabled());
    first->trigger();

    QCOMPARE(doubleClicks, 1);
    if (dialog) {
        QCOMPARE(prompter.Asked().first().kind, QStringLiteral("save"));
        QCOMPARE(prompter.Asked().first().value, local->filePath(QStringLiteral("a.bin")));
    } else {
        QCOMPARE(asked, QStringList{QStringLiteral("a.bin")});
    }
    const auto confirms = std::count_if(prompter.Asked().cbegin(), prompter.Asked().cend(),
                                        [](const TPromptRecord &r) { return r.kind == QLatin1String("confirm"); });
    QCOMPARE(confirms, existing ? 1 : 0);
    if (existing)
        QCOMPARE(prompter.Asked().last().text, Msg(T::OverwriteLocal, {target}));
    const QString copied = Msg(T::FileCopied, {"a.bin", "700000"});
    if (existing && !answer) {
        QCOMPARE(ReadFile(target), QByteArray("keep"));
        QVERIFY(!infos.contains(copied));
        QVERIFY(done.isEmpty());
        QCOMPARE(QDir(local->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.bin")});
    } else {
        QVERIFY(ReadFile(target) == remote);
        QVERIFY(infos.contains(copied));
        QVERIFY(!done.isEmpty());
        QCOMPARE(done.last(), qint64(700000));
    }
    QVERIFY(errors.isEmpty());
    QVERIFY(!panel->Busy());
}

// ---------------------------------------------------------------------------
// Deleting, creating, renaming

void tst_QuickPanel::deleteSelection_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("two files and a folder, the parent row left out")
        << QStringList{"..", "a.txt", "d", "c.txt"} << Msg(T::DeleteManyQuestion, {"3"}) << true
        << QStringList{"..", "full", "b.txt"};
    QTest::newRow("one file, answered No")
        << QStringList{"a.txt"} << Msg(T::DeleteFileQuestion, {"a.txt"}) << false
        << QStringList{"..", "d", "full", "a.txt", "b.txt", "c.txt"};
    QTest::newRow("one folder") << QStringList{"d"} << Msg(T::DeleteFolderQuestion, {"d"}) << true
                                << QStringList{"..", "full", "a.txt", "b.txt", "c.txt"};
    QTest::newRow("a folder the server keeps") << QStringList{"full"} << Msg(T::DeleteFolderQuestion, {"full"})
                                               << true << QStringList{"..", "d", "full", "a.txt", "b.txt", "c.txt"};
}

void tst_QuickPanel::deleteSelection()
{
    QFETCH(QStringList, selected);
    QFETCH(QString, question);
    QFETCH(bool, answer);
    QFETCH(QStringList, remaining);
    for (const char *name : {"a.txt", "b.txt", "c.txt", "full/inside.txt"})
        QVERIFY(WriteFile(RemotePath(QStringLiteral("pub/") + QLatin1String(name)), "x"));
    QVERIFY(QDir().mkpath(RemotePath("pub/d")));
    panel->SetFTPOptions(AllOptions);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    Select(selected);
    prompter.QueueConfirm(answer);
    const int listings = changes;
    // The Delete key, released in the list.
    QTest::keyClick(panel->FileList()->ItemView(), Qt::Key_Delete);
    QCOMPARE(prompter.Asked().size(), 1);
    QCOMPARE(prompter.Asked().first().text, question);
    QCOMPARE(Captions(panel->FileListModel()), remaining);
    QCOMPARE(changes, listings + (answer ? 1 : 0));
    // The server's refusal of a folder that is not empty is shown.
    const bool refused = selected == QStringList{"full"};
    QCOMPARE(errors.size(), refused ? 1 : 0);
    if (refused)
        QVERIFY2(errors.first().startsWith(QLatin1String("550")), qPrintable(errors.first()));
    // The folder above was never touched.
    QVERIFY(QFileInfo(RemotePath("pub")).isDir());
}

void tst_QuickPanel::newFolder()
{
    panel->SetFTPOptions(AllOptions);
    // Not connected: its own error.
    QVERIFY(!panel->CreateRemoteFolder(QStringLiteral("x")));
    QCOMPARE(errors, QStringList{T::NoConnection});
    errors.clear();
    QVERIFY(ConnectTo(QStringLiteral("pub")));

    QAction *item = panel->MenuItem(QStringLiteral("Nouveaurepertoire"));
    panel->UpdatePopupMenu();
    QVERIFY(item->isEnabled());
    prompter.QueueInput(QStringLiteral("docs"));
    item->trigger();
    QCOMPARE(prompter.Asked().last().caption, T::NewFolderCaption);
    QCOMPARE(prompter.Asked().last().text, T::NewFolderLabel);
    QVERIFY(QFileInfo(RemotePath("pub/docs")).isDir());
    QCOMPARE(Captions(panel->FileListModel()), (QStringList{"..", "docs"}));
    QCOMPARE(panel->Row(1).TypeText, QuickFolderTypeName());

    // Cancelled, or blank: nothing asked of the server, nothing shown.
    const int listings = changes;
    prompter.QueueInput(QString());
    item->trigger();
    QVERIFY(!panel->CreateRemoteFolder(QStringLiteral("   ")));
    QCOMPARE(changes, listings);
    QVERIFY(errors.isEmpty());

    // An existing folder: the server's refusal.
    QVERIFY(!panel->CreateRemoteFolder(QStringLiteral("docs")));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(QLatin1String("550")), qPrintable(errors.first()));
}

void tst_QuickPanel::rename_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("file renamed") << "anonymous" << "a.txt" << true;
    QTest::newRow("folder renamed") << "anonymous" << "docs" << true;
    QTest::newRow("refused by the server") << "norename" << "a.txt" << false;
}

void tst_QuickPanel::rename()
{
    QFETCH(QString, user);
    QFETCH(QString, entry);
    QFETCH(bool, accepted);
    QVERIFY(WriteFile(RemotePath("pub/a.txt"), "a"));
    QVERIFY(QDir().mkpath(RemotePath("pub/docs")));
    panel->SetFTPOptions(AllOptions);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.get()));
    QVERIFY(ConnectTo(QStringLiteral("pub"), user, user == QLatin1String("norename") ? "pw" : "guest"));
    const bool folder = entry == QLatin1String("docs");
    const QString typed = folder ? QStringLiteral("papers") : QStringLiteral("renamed.txt");

    panel->FileList()->SelectRow(RowOf(entry));
    QAbstractItemView *view = panel->FileList()->ItemView();
    view->setFocus();
    // F2 on its release starts editing the caption in place.
    QTest::keyClick(view, Qt::Key_F2);
    QVERIFY(panel->FileList()->Editing());
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), entry);
    editor->setText(typed);
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over once it has handled the key.
    QTRY_VERIFY_WITH_TIMEOUT(!panel->FileList()->Editing(), 5000);

    // The typed name stays in the list in any case.
    QVERIFY(RowOf(typed) >= 0);
    QCOMPARE(RowOf(entry), -1);
    const TQuickFileRow row = panel->Row(RowOf(typed));
    if (accepted) {
        QVERIFY(errors.isEmpty());
        QVERIFY(QFileInfo::exists(RemotePath(QStringLiteral("pub/") + typed)));
        QVERIFY(!QFileInfo::exists(RemotePath(QStringLiteral("pub/") + entry)));
        QCOMPARE(row.TypeText, QuickEntryTypeName(typed, folder));
        if (folder) {
            // A folder keeps its folder type, and its pane row follows.
            QCOMPARE(row.TypeText, QuickFolderTypeName());
            QVERIFY(Captions(panel->FolderPaneModel()).contains(typed));
        }
    } else {
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QLatin1String("550")), qPrintable(errors.first()));
        QVERIFY(QFileInfo::exists(RemotePath(QStringLiteral("pub/") + entry)));
        QVERIFY(!QFileInfo::exists(RemotePath(QStringLiteral("pub/") + typed)));
        // Until the next listing.
        panel->Refresh();
        QVERIFY(RowOf(entry) >= 0);
        QCOMPARE(RowOf(typed), -1);
    }
}

void tst_QuickPanel::deleteKeyInEditorDeletesNothing()
{
    QVERIFY(WriteFile(RemotePath("pub/a.txt"), "a"));
    panel->SetFTPOptions(AllOptions);
    panel->show();
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.get()));
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    panel->FileList()->SelectRow(RowOf("a.txt"));
    panel->RenameSelection();
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(prompter.Asked().isEmpty());
    QVERIFY(QFileInfo::exists(RemotePath("pub/a.txt")));
    QVERIFY(RowOf("a.txt") >= 0);
}

// ---------------------------------------------------------------------------
// Uploads

void tst_QuickPanel::dropThreeFiles()
{
    QStringList paths;
    QList<QByteArray> contents;
    for (const char *name : {"c.txt", "a.txt", "b.txt"}) {
        paths << local->filePath(QString::fromLatin1(name));
        contents << Pattern(200000 + 1000 * paths.size(), quint32(paths.size()));
        QVERIFY(WriteFile(paths.last(), contents.last()));
    }
    panel->SetFTPOptions(AllOptions);
    QVERIFY(panel->Active());
    QVERIFY(panel->acceptDrops());
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    infos.clear();
    const int listings = changes;

    QVERIFY(Drop(paths));
    QTRY_VERIFY_WITH_TIMEOUT(infos.contains(T::UploadComplete), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(changes, listings + 1, 5000);
    const QStringList expected{Msg(QuickTexts::CopyInProgress, {"c.txt"}), Msg(QuickTexts::CopyInProgress, {"a.txt"}),
                               Msg(QuickTexts::CopyInProgress, {"b.txt"}), T::UploadComplete,
                               Msg(T::ListingStarted, {"/pub"})};
    QStringList seen;
    for (const QString &info : std::as_const(infos))
        if (!info.contains(QLatin1String("kb/sec")))
            seen << info;
    QCOMPARE(seen.mid(0, expected.size()), expected);
    QVERIFY2(seen.size() > expected.size(), qPrintable(seen.join(QLatin1Char('|'))));
    QVERIFY2(seen.at(expected.size()).startsWith(QStringLiteral("Transfert de données complété")),
             qPrintable(seen.join(QLatin1Char('|'))));
    for (int i = 0; i < paths.size(); ++i) {
        QVERIFY(ReadFile(RemotePath(QStringLiteral("pub/") + QFileInfo(paths.at(i)).fileName())) == contents.at(i));
        QVERIFY(RowOf(QFileInfo(paths.at(i)).fileName()) >= 0);
    }
    QVERIFY(errors.isEmpty());
    QVERIFY(!panel->Busy());
    QVERIFY(panel->acceptDrops());
}

void tst_QuickPanel::busyRefusals()
{
    QVERIFY(QDir().mkpath(RemotePath("pub/docs")));
    const QString other = local->filePath(QStringLiteral("other.txt"));
    QVERIFY(WriteFile(other, "other"));
    const QString slow = local->filePath(QStringLiteral("slow.bin"));
    TFifo fifo(slow);
    QVERIFY(fifo.Made());
    panel->SetFTPOptions(AllOptions);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    QVERIFY(ConnectTo(QStringLiteral("pub")));

    QVERIFY(panel->UploadFiles(slow + QStringLiteral("\r\n"), false));
    QVERIFY(panel->Busy());
    QTRY_VERIFY_WITH_TIMEOUT(infos.contains(Msg(QuickTexts::CopyInProgress, {"slow.bin"})), 5000);

    // No drop target while the worker runs: the desktop's drop is refused.
    QVERIFY(!panel->acceptDrops());
    QVERIFY(!Drop({other}));
    // Uploads asked meanwhile (as by the site update) are refused.
    infos.clear();
    QVERIFY(!panel->UploadFile(other, QStringLiteral("other.txt")));
    QVERIFY(!panel->UploadFiles(other, true));
    QCOMPARE(infos, (QStringList{T::TransferBusy, T::TransferBusy}));
    // So is anything that would move the worker's remote folder or talk to
    // the server under it.
    infos.clear();
    DoubleClick(QStringLiteral("docs"));
    panel->ParentFolder();
    QTest::keyClick(panel->FileList()->ItemView(), Qt::Key_F5);
    QCOMPARE(infos, (QStringList{T::TransferBusy, T::TransferBusy, T::TransferBusy}));
    QCOMPARE(panel->CurrentFolder(), QStringLiteral("/pub"));
    panel->FileList()->SelectRow(RowOf("docs"));
    panel->UpdatePopupMenu();
    for (const char *name : {"Ouvrir", "Effacer", "Renommer", "Nouveaurepertoire", "Actualiser", "Retour"})
        QVERIFY2(!panel->MenuItem(QString::fromLatin1(name))->isEnabled(), name);
    QVERIFY(!QFileInfo::exists(RemotePath("pub/other.txt")));

    // The worker goes on once the file has data, and ends the busy state.
    const QByteArray bytes = Pattern(100000, 3);
    QVERIFY(fifo.Finish(bytes));
    QTRY_VERIFY_WITH_TIMEOUT(infos.contains(T::UploadComplete), 10000);
    QVERIFY(!panel->Busy());
    QVERIFY(panel->acceptDrops());
    QVERIFY(ReadFile(RemotePath("pub/slow.bin")) == bytes);
    QVERIFY(RowOf("slow.bin") >= 0);
    // Free again: a drop is taken.
    QVERIFY(Drop({other}));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(RemotePath("pub/other.txt")) && !panel->Busy(), 10000);
}

void tst_QuickPanel::singleUploadAndDelete()
{
    const QString path = local->filePath(QStringLiteral("up.bin"));
    const QByteArray bytes = Pattern(300000, 9);
    QVERIFY(WriteFile(path, bytes));
    // Not connected yet: UploadFile connects first.
    panel->SetRemoteDir(QStringLiteral("pub"));
    panel->SetPassword(QStringLiteral("guest"));
    QVERIFY(panel->UploadFile(path, QStringLiteral("copy.bin")));
    QVERIFY(panel->Connected());
    QVERIFY(ReadFile(RemotePath("pub/copy.bin")) == bytes);
    const qsizetype started = infos.indexOf(Msg(T::UploadStarted, {"copy.bin"}));
    QVERIFY(started >= 0);
    QCOMPARE(infos.last(), T::UploadComplete);
    // The list is not refreshed by a single upload.
    QCOMPARE(RowOf("copy.bin"), -1);
    QVERIFY(!panel->Busy());

    // The worker with waiting: the call returns once it has finished.
    QVERIFY(panel->UploadFiles(path, true));
    QVERIFY(!panel->Busy());
    QVERIFY(ReadFile(RemotePath("pub/up.bin")) == bytes);
    QCOMPARE(infos.last().left(32), QStringLiteral("Transfert de données complété: ("));
    QVERIFY(RowOf("up.bin") >= 0);

    // A local file that cannot be read is a failure, never "complete".
    infos.clear();
    QVERIFY(!panel->UploadFile(local->filePath(QStringLiteral("missing.bin")), QStringLiteral("missing.bin")));
    QVERIFY(!infos.contains(T::UploadComplete));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(QLatin1String("missing.bin")), qPrintable(errors.first()));
    QVERIFY(!QFileInfo::exists(RemotePath("pub/missing.bin")));

    // DeleteRemoteFile: the listing follows, and the server's answer shows.
    errors.clear();
    QVERIFY(panel->DeleteRemoteFile(QStringLiteral("copy.bin")));
    QVERIFY(!QFileInfo::exists(RemotePath("pub/copy.bin")));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(QLatin1String("250")), qPrintable(errors.first()));
    errors.clear();
    QVERIFY(!panel->DeleteRemoteFile(QStringLiteral("nosuch.bin")));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(QLatin1String("550")), qPrintable(errors.first()));
    // Without a connection it fails and says so in its own words.
    panel->Disconnect();
    errors.clear();
    QVERIFY(!panel->DeleteRemoteFile(QStringLiteral("x.bin")));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(QLatin1String("Impossible de supprimer le fichier \"x.bin\" (Win32 Error ")),
             qPrintable(errors.first()));
}

// ---------------------------------------------------------------------------
// Pop-up, transfer type, disconnecting

void tst_QuickPanel::popupStates()
{
    QVERIFY(WriteFile(RemotePath("pub/a.txt"), "a"));
    QVERIFY(WriteFile(RemotePath("pub/b.txt"), "b"));
    QVERIFY(QDir().mkpath(RemotePath("pub/docs")));
    const auto enabled = [this](const char *name) {
        QAction *action = panel->MenuItem(QString::fromLatin1(name));
        return action && action->isEnabled();
    };
    panel->SetFTPOptions(AllOptions);
    // Not connected: nothing to do.
    panel->UpdatePopupMenu();
    for (const char *name : {"Ouvrir", "Effacer", "Renommer", "Nouveaurepertoire", "Voir", "Tri", "Actualiser", "Retour"})
        QVERIFY2(!enabled(name), name);
    QVERIFY(!panel->MenuItem(QStringLiteral("TypedeTransfert"))->isVisible());

    QVERIFY(ConnectTo(QStringLiteral("pub")));
    Select({QStringLiteral("docs")});
    panel->UpdatePopupMenu();
    QCOMPARE(panel->MenuItem(QStringLiteral("Ouvrir"))->text(), T::MenuOpen);
    QCOMPARE(panel->PopupMenu()->defaultAction(), panel->MenuItem(QStringLiteral("Ouvrir")));
    for (const char *name : {"Ouvrir", "Effacer", "Renommer", "Nouveaurepertoire", "Voir", "Tri", "Actualiser", "Retour"})
        QVERIFY2(enabled(name), name);
    // Two rows: no "Ouvrir", no "Renommer".
    Select({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    panel->UpdatePopupMenu();
    QVERIFY(!enabled("Ouvrir") && !enabled("Renommer") && enabled("Effacer"));
    // The parent row is neither deleted nor renamed.
    Select({QStringLiteral("..")});
    panel->UpdatePopupMenu();
    QVERIFY(enabled("Ouvrir") && !enabled("Renommer") && !enabled("Effacer"));
    // Options switch the items off.
    panel->SetFTPOptions(doAllowUpload);
    Select({QStringLiteral("a.txt")});
    panel->UpdatePopupMenu();
    for (const char *name : {"Ouvrir", "Effacer", "Renommer", "Nouveaurepertoire"})
        QVERIFY2(!enabled(name), name);
    QVERIFY(enabled("Actualiser"));
    // OnLocalize sees every caption and may replace it.
    QStringList seen;
    panel->OnLocalize = [&](QObject *, const QString &result, QString &format, const QStringList &) {
        QVERIFY(result.isEmpty());
        seen << format;
        if (format == T::MenuCopy)
            format = QStringLiteral("Télécharger");
    };
    panel->UpdatePopupMenu();
    QCOMPARE(panel->MenuItem(QStringLiteral("Ouvrir"))->text(), QStringLiteral("Télécharger"));
    QVERIFY(seen.contains(T::MenuCopy));
}

void tst_QuickPanel::transferType()
{
    panel->SetFTPOptions(AllOptions | doShowTransferType);
    QVERIFY(panel->MenuItem(QStringLiteral("TypedeTransfert"))->isVisible());
    QVERIFY(panel->MenuItem(QStringLiteral("Binary"))->isChecked());
    QCOMPARE(panel->TransferType(), ttUnknown);
    QCOMPARE(panel->FtpConnection().TransferType(), quint8(ttUnknown));
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    infos.clear();
    errors.clear();
    panel->MenuItem(QStringLiteral("ASCII"))->trigger();
    QCOMPARE(panel->TransferType(), ttASCII);
    QCOMPARE(panel->FtpConnection().TransferType(), quint8(ttASCII));
    QVERIFY(panel->MenuItem(QStringLiteral("ASCII"))->isChecked());
    QCOMPARE(infos, QStringList{Msg(T::TransferTypeSet, {"ASCII"})});
    // Setting the type shows the connection's last reply.
    QCOMPARE(errors.size(), 1);
    panel->MenuItem(QStringLiteral("Binary"))->trigger();
    QCOMPARE(panel->TransferType(), ttBinary);
    QCOMPARE(panel->FtpConnection().TransferType(), quint8(ttBinary));
    QCOMPARE(infos.last(), Msg(T::TransferTypeSet, {"binary"}));
    // Without a connection there is no reply of it to show.
    panel->Disconnect();
    errors.clear();
    panel->SetTransferType(ttASCII);
    QVERIFY(errors.isEmpty());
    QCOMPARE(panel->FtpConnection().TransferType(), quint8(ttASCII));
    panel->SetFTPOptions(AllOptions);
    QVERIFY(!panel->MenuItem(QStringLiteral("TypedeTransfert"))->isVisible());
}

void tst_QuickPanel::disconnect()
{
    QVERIFY(WriteFile(RemotePath("pub/a.txt"), "a"));
    QVERIFY(QDir().mkpath(RemotePath("pub/docs")));
    panel->SetFTPOptions(AllOptions);
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    QVERIFY(panel->RowCount() > 0);
    infos.clear();
    panel->Disconnect();
    QVERIFY(!panel->Connected());
    QCOMPARE(panel->RowCount(), 0);
    QCOMPARE(panel->FolderPaneModel()->RowCount(), 0);
    QCOMPARE(infos, (QStringList{Msg(T::Disconnecting, {server->Host()}),
                                 Msg(T::Disconnected, {"anonymous", server->Host()})}));
    QCOMPARE(disconnects, 1);
    // Keys do nothing without a connection.
    QTest::keyClick(panel->FileList()->ItemView(), Qt::Key_F5);
    QCOMPARE(infos.size(), 2);
    // Connected again, then destroyed: no message and no hook any more.
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    const qsizetype shown = infos.size();
    panel.reset();
    QCOMPARE(infos.size(), shown);
    QCOMPARE(disconnects, 1);
}

// ---------------------------------------------------------------------------
// Destruction in the middle of transfers

void tst_QuickPanel::disconnectedDuringWorker()
{
    const QString slow = local->filePath(QStringLiteral("slow.bin"));
    TFifo fifo(slow);
    QVERIFY(fifo.Made());
    panel->SetFTPOptions(AllOptions);
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    QVERIFY(panel->UploadFiles(slow, false));
    QTRY_VERIFY_WITH_TIMEOUT(infos.contains(Msg(QuickTexts::CopyInProgress, {"slow.bin"})), 5000);
    // Disconnecting is allowed while busy; the worker stops at its next call.
    panel->Disconnect();
    QVERIFY(!panel->Connected());
    // Lets the worker's open of the file return; it may stop reading at once.
    fifo.Finish(Pattern(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 10000);
    QVERIFY(!infos.contains(T::UploadComplete));
    QCOMPARE(errors, QStringList{T::UploadInterrupted});
    QVERIFY(panel->acceptDrops());
    QCOMPARE(panel->RowCount(), 0);
}

void tst_QuickPanel::destroyedDuringWorker()
{
    const QString slow = local->filePath(QStringLiteral("slow.bin"));
    TFifo fifo(slow);
    QVERIFY(fifo.Made());
    panel->SetFTPOptions(AllOptions);
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    QVERIFY(panel->UploadFiles(slow, false));
    QTRY_VERIFY_WITH_TIMEOUT(infos.contains(Msg(QuickTexts::CopyInProgress, {"slow.bin"})), 5000);
    const qsizetype shown = infos.size();
    // The worker waits on the FIFO; it gets its data a moment after the
    // panel has gone.
    std::thread writer([&fifo] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        fifo.Finish(Pattern(5000));
    });
    panel.reset();
    writer.join();
    // The worker's end finds no panel: nothing more is said, nothing breaks.
    QTest::qWait(300);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(infos.size(), shown);
    QVERIFY(errors.isEmpty());
}

void tst_QuickPanel::destroyedDuringGuiUpload()
{
    // A FIFO that the test keeps open for writing: the upload on the GUI
    // thread reads what the test writes, processing events between blocks.
    const QString slow = local->filePath(QStringLiteral("slow.bin"));
    QVERIFY(::mkfifo(QFile::encodeName(slow).constData(), 0600) == 0);
    // Never blocking: once the reader has gone the pipe just fills up.
    const int fd = ::open(QFile::encodeName(slow).constData(), O_RDWR | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QVERIFY(ConnectTo(QStringLiteral("pub")));
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const QByteArray block = Pattern(65536);
        while (!stop.load()) {
            if (::write(fd, block.constData(), size_t(block.size())) < 0 && errno != EAGAIN)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    // The owner destroys the panel while the upload is under way.
    QTimer::singleShot(200, this, [this] { panel.reset(); });
    TZEVudeDadaVAV *raw = panel.get();
    const bool sent = raw->UploadFile(slow, QStringLiteral("slow.bin"));
    stop = true;
    writer.join();
    ::close(fd);
    QVERIFY(!panel);
    // The upload ended with its connection: never reported complete.
    QVERIFY(!sent);
    QVERIFY(!infos.contains(T::UploadComplete));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(tst_QuickPanel)
#include "tst_quickpanel.moc"
