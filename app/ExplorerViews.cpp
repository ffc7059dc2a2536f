#include "ExplorerViews.h"

#include "Ftp.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTreeWidget>

namespace {
QString WithoutLineEnd(QString text)
{
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

// The client's dialogue as plain lines: commands, replies, status and
// errors. It unregisters from the client when it goes away first.
class TPlainFtpLog : public QPlainTextEdit
{
public:
    TPlainFtpLog(QWidget *parent, TVexFtp *ftp) : QPlainTextEdit(parent), client(ftp)
    {
        setReadOnly(true);
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setMaximumBlockCount(20000);
        if (!ftp)
            return;
        infoSlot = ftp->AddInfoListener([this](TVexFtp *, FtpInfo info, const QString &text) { Info(info, text); });
        errorSlot = ftp->AddErrorListener([this](TVexFtp *, FtpError, const QString &text) {
            if (!text.trimmed().isEmpty())
                appendPlainText(QStringLiteral("ERREUR : ") + WithoutLineEnd(text));
        });
    }

    ~TPlainFtpLog() override
    {
        if (client) {
            client->RemoveInfoListener(infoSlot);
            client->RemoveErrorListener(errorSlot);
        }
    }

private:
    void Info(FtpInfo info, const QString &text)
    {
        switch (info) {
        case ftpiCommand: Add(QStringLiteral("> "), text); break;
        case ftpiReceived: Add(QString(), text); break;
        case ftpiConnected: Add(QStringLiteral("* "), QStringLiteral("Connecté à ") + (text.isEmpty() ? client->Server() : text)); break;
        case ftpiDisconnected: Add(QStringLiteral("* "), FtpText::Disconnected); break;
        case ftpiLoggedIn: Add(QStringLiteral("* "), QStringLiteral("Connexion réussie")); break;
        case ftpiResumeSupported:
        case ftpiResumeUnavailable:
        case ftpiRetrying:
        case ftpiNothingToDo:
        case ftpiRetriesExhausted: Add(QStringLiteral("* "), text); break;
        default: break;
        }
    }

    void Add(const QString &prefix, const QString &text)
    {
        const QString line = WithoutLineEnd(text);
        if (!line.trimmed().isEmpty())
            appendPlainText(prefix + line);
    }

    QPointer<TVexFtp> client;
    int infoSlot = -1;
    int errorSlot = -1;
};

QTreeWidget *EmptyView(QWidget *parent, const QStringList &columns)
{
    auto *view = new QTreeWidget(parent);
    view->setHeaderLabels(columns);
    view->setRootIsDecorated(columns.size() == 1);
    view->header()->setVisible(columns.size() > 1);
    return view;
}
}

QWidget *CreateVexFtpMessenger(QWidget *parent, TVexFtp *client)
{
    auto *log = new TPlainFtpLog(parent, client);
    log->setObjectName(QStringLiteral("VexFtpMessenger1"));
    return log;
}

QWidget *CreateVexFtpListView(QWidget *parent, TVexFtp *)
{
    QWidget *view = EmptyView(parent, {QStringLiteral("Nom"), QStringLiteral("Taille"), QStringLiteral("Date"),
                                       QStringLiteral("Attributs")});
    view->setObjectName(QStringLiteral("VexFtpListView1"));
    view->setToolTip(QStringLiteral("Clic droit = menu / Double Click = exécuter"));
    return view;
}

QWidget *CreateVexFtpTreeView(QWidget *parent, TVexFtp *)
{
    QWidget *view = EmptyView(parent, {QStringLiteral("Site distant")});
    view->setObjectName(QStringLiteral("VexFtpTreeView1"));
    return view;
}

QWidget *CreateLocalFolderTree(QWidget *parent)
{
    QWidget *view = EmptyView(parent, {QStringLiteral("Dossiers")});
    view->setObjectName(QStringLiteral("DirTree1"));
    return view;
}

QWidget *CreateLocalFileList(QWidget *parent)
{
    QWidget *view = EmptyView(parent, {QStringLiteral("Nom"), QStringLiteral("Type"), QStringLiteral("Taille"),
                                       QStringLiteral("Modifié le")});
    view->setObjectName(QStringLiteral("Files"));
    return view;
}
