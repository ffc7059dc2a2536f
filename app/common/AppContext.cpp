// The state, client, tab host and handler dispatch shared by the tabs.

#include "AppContext.h"

#include "LocalPaths.h"

#include <QScopedValueRollback>
#include <QTabWidget>
#include <QWidget>

TAppContext::TAppContext(QWidget *window, TVexFtp *client) : QObject(window), window_(window), client_(client) {}

TAppContext::~TAppContext() = default;

void TAppContext::SetAnswerForAll(bool on, const QString &reply)
{
    answerForAll_ = on;
    answerForAllReply_ = on ? reply : QString();
}

bool TAppContext::SelectLocalFolder(const QString &folder)
{
    if (localFolderSelector_)
        return localFolderSelector_(folder);
    const QString path = LocalFolderPath(folder);
    if (path.isEmpty())
        return false;
    LocalFolderSelected(path);
    return true;
}

void TAppContext::SetLocalFolderSelector(std::function<bool(const QString &)> selector)
{
    localFolderSelector_ = std::move(selector);
}

void TAppContext::LocalFolderSelected(const QString &folder, bool quiet)
{
    localFolder_ = folder;
    if (!quiet)
        emit LocalFolderChanged(folder);
}

void TAppContext::SetPageHost(QTabWidget *host)
{
    host_ = host;
    // QTabWidget reports changes made by program too: only the user's (and
    // ActivatePage) run the window's tab-change handler.
    connect(host, &QTabWidget::currentChanged, this, [this] {
        if (!showingPage_)
            emit PageChanged();
    });
}

void TAppContext::AddPage(TPage page, QWidget *widget, const QString &caption)
{
    pages_.at(size_t(page)) = widget;
    if (host_)
        host_->addTab(widget, caption);
}

QWidget *TAppContext::Page(TPage page) const
{
    return pages_.at(size_t(page));
}

std::optional<TPage> TAppContext::CurrentPage() const
{
    const QWidget *current = host_ ? host_->currentWidget() : nullptr;
    for (int i = 0; i < PageCount; ++i)
        if (current && pages_.at(size_t(i)) == current)
            return TPage(i);
    return std::nullopt;
}

void TAppContext::ShowPage(TPage page)
{
    if (!host_ || !Page(page))
        return;
    const QScopedValueRollback byProgram(showingPage_, true);
    host_->setCurrentWidget(Page(page));
}

void TAppContext::ActivatePage(TPage page)
{
    ShowPage(page);
    emit PageChanged();
}

void TAppContext::SetPageEnabled(TPage page, bool enabled)
{
    if (host_ && Page(page))
        host_->setTabEnabled(host_->indexOf(Page(page)), enabled);
}

bool TAppContext::PageEnabled(TPage page) const
{
    return host_ && Page(page) && host_->isTabEnabled(host_->indexOf(Page(page)));
}
