// The state, client, tab host and handler dispatch shared by the tabs.

#include "AppContext.h"

#include <QTabWidget>
#include <QWidget>

TAppContext::TAppContext(QWidget *window, TVexFtp *client) : QObject(window), window_(window), client_(client) {}

TAppContext::~TAppContext() = default;

void TAppContext::SetAnswerForAll(bool on, const QString &reply)
{
    answerForAll_ = on;
    answerForAllReply_ = on ? reply : QString();
}

void TAppContext::SelectLocalFolder(const QString &folder)
{
    localFolder_ = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

void TAppContext::SetPageHost(QTabWidget *host)
{
    host_ = host;
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
    if (host_ && Page(page))
        host_->setCurrentWidget(Page(page));
}
