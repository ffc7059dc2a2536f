#pragma once
// TAppContext: what every tab and tool sees of the main window. The window
// makes one, with itself and its client VexFtp1, before any tab; each tab is
// given a reference to it at construction and keeps it for the whole run.
// Tabs never see the window's own class.
//
// It holds:
// - the state several tabs and tools read: the window's flags (Quitting,
//   ScheduledRunActive, QuickExplorerActive, AnswerForAll, SchedulerEnabled),
//   the temporary files opened (OpenedFiles), the local folder, the remote
//   tree's folder (TreeFolder) and the profile file's path;
// - the client VexFtp1 (owned by the window);
// - the local folder tree's selection (the explorer tab holds the tree);
// - the archive the compress commands leave to be deleted (TSentArchive);
// - the tab host: which tab is shown, showing another by program (which
//   runs no tab-change handler) or as the user would (which does);
// - the one place where a handler's failure is caught (Commands.h): Run for
//   a step started by program, Connect for a control's signal. A tab wires
//   its own controls through Connect, never with a bare connect:
//
//     context.Connect(sauver, &QPushButton::clicked, this, &TSiteManager::sauverClick);
//     context.Connect(ListBox1, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) { ... });

#include "Commands.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <type_traits>
#include <utility>

class QTabWidget;
class QWidget;
class TSentArchive;
class TVexFtp;

// The tabs of the window, in their order.
enum class TPage { Explorer, QuickExplorer, Update, Settings, Scheduler, About };
constexpr int PageCount = 6;

class TAppContext : public QObject
{
    Q_OBJECT
public:
    // window owns this context; client is the window's VexFtp1.
    TAppContext(QWidget *window, TVexFtp *client);
    ~TAppContext() override;

    QWidget *Window() const { return window_; }
    TVexFtp *VexFtp1() const { return client_; }

    // --- Flags --------------------------------------------------------------
    // Set by "&Quitter"; the scheduler sets it around its own hang-up.
    bool Quitting() const { return quitting_; }
    void SetQuitting(bool on) { quitting_ = on; }
    // While a scheduled run is active every existing file is overwritten.
    bool ScheduledRunActive() const { return scheduledRunActive_; }
    void SetScheduledRunActive(bool on) { scheduledRunActive_ = on; }
    // Which explorer the site tools act on.
    bool QuickExplorerActive() const { return quickExplorerActive_; }
    void SetQuickExplorerActive(bool on) { quickExplorerActive_ = on; }
    // An "all" answer of the overwrite/resume dialog stands: later files get
    // reply without a dialog. Clearing it forgets the reply.
    bool AnswerForAll() const { return answerForAll_; }
    QString AnswerForAllReply() const { return answerForAllReply_; }
    void SetAnswerForAll(bool on, const QString &reply = QString());
    int SchedulerEnabled() const { return schedulerEnabled_; }
    void SetSchedulerEnabled(int value) { schedulerEnabled_ = value; }

    // Temporary copies of remote files opened by the user: deleted at close.
    QStringList &OpenedFiles() { return openedFiles_; }

    // The local folder (always ending with "/"): the folder selected in the
    // local folder tree.
    QString LocalFolder() const { return localFolder_; }
    // Selects folder in the local folder tree, which re-reads it (and the
    // file list) even when it is selected already. A folder that does not
    // exist leaves the selection as it is: false. Without a tree the folder
    // is only remembered.
    bool SelectLocalFolder(const QString &folder);
    // The tab holding the local tree gives the way to select a folder in it,
    // and tells the context each folder the tree selects: LocalFolderChanged
    // follows, unless the tree moved quietly (at start-up).
    void SetLocalFolderSelector(std::function<bool(const QString &folder)> selector);
    void LocalFolderSelected(const QString &folder, bool quiet = false);
    // The remote folder of the node selected in the remote tree, without a
    // final "/" ("" for a site root).
    QString TreeFolder() const { return treeFolder_; }
    void SetTreeFolder(const QString &folder) { treeFolder_ = folder; }
    // The profile file, velmar.ini in the program's files folder.
    QString ProfilePath() const { return profilePath_; }
    void SetProfilePath(const QString &path) { profilePath_ = path; }

    // The archive left by the compress commands (null until they are in
    // the window; not owned).
    TSentArchive *SentArchive() const { return sentArchive_; }
    void SetSentArchive(TSentArchive *archive) { sentArchive_ = archive; }

    // --- Tab host -------------------------------------------------------------
    // The window gives its tab host, then adds each tab in order.
    void SetPageHost(QTabWidget *host);
    void AddPage(TPage page, QWidget *widget, const QString &caption);
    QWidget *Page(TPage page) const;
    // The tab shown, or nothing while the host is empty.
    std::optional<TPage> CurrentPage() const;
    // Shows page by program: PageChanged is not raised.
    void ShowPage(TPage page);
    // Shows page and raises PageChanged once, as a user's choice of the tab
    // does.
    void ActivatePage(TPage page);
    // Enables or greys out the tab of page (a greyed tab cannot be chosen).
    void SetPageEnabled(TPage page, bool enabled);
    bool PageEnabled(TPage page) const;

signals:
    // The user chose another tab (or ActivatePage ran): the window's
    // tab-change handler runs on it, once per change.
    void PageChanged();
    // The local folder tree selected folder (again).
    void LocalFolderChanged(const QString &folder);

public:
    // --- Handlers -------------------------------------------------------------
    // Runs handler; a failure is shown and the rest of handler abandoned.
    // False when it failed.
    bool Run(const std::function<void()> &handler) const { return RunHandler(window_, handler); }

    // Connects signal of sender to handler, run through Run. handler takes
    // the signal's arguments or none; receiver ends the connection when it
    // goes.
    template <typename Sender, typename Signal, typename Handler>
    QMetaObject::Connection Connect(const Sender *sender, Signal signal, const QObject *receiver, Handler handler) const
    {
        const QPointer<QWidget> window = window_;
        return QObject::connect(sender, signal, receiver, [window, handler](auto &&...args) mutable -> void {
            RunHandler(window, [&] { Call(handler, std::forward<decltype(args)>(args)...); });
        });
    }

    // The same for a handler of receiver that takes no argument.
    template <typename Sender, typename Signal, typename Receiver>
    QMetaObject::Connection Connect(const Sender *sender, Signal signal, Receiver *receiver,
                                    void (Receiver::*handler)()) const
    {
        return Connect(sender, signal, receiver, [receiver, handler] { (receiver->*handler)(); });
    }

private:
    // Calls handler with the signal's arguments, or with none when it takes
    // none.
    template <typename Handler, typename... Args>
    static void Call(Handler &handler, Args &&...args)
    {
        if constexpr (std::is_invocable_v<Handler &, Args...>)
            handler(std::forward<Args>(args)...);
        else
            handler();
    }

    QWidget *window_;
    TVexFtp *client_;
    QPointer<QTabWidget> host_;
    std::array<QWidget *, PageCount> pages_{};
    bool showingPage_ = false;
    std::function<bool(const QString &)> localFolderSelector_;
    TSentArchive *sentArchive_ = nullptr;

    bool quitting_ = false;
    bool scheduledRunActive_ = false;
    bool quickExplorerActive_ = false;
    bool answerForAll_ = false;
    QString answerForAllReply_;
    int schedulerEnabled_ = 0;
    QStringList openedFiles_;
    QString localFolder_ = QStringLiteral("/");
    QString treeFolder_;
    QString profilePath_;
};
