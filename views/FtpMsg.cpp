#include "FtpMsg.h"

#include "ClientBinding.h"
#include "Ftp.h"
#include "FtpErrorTexts.h"
#include "Prompts.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFontDatabase>
#include <QLocale>
#include <QPointer>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QString ContinuationIndent = QStringLiteral("            "); // as wide as every prefix
const QString LineEnd = QStringLiteral("\r\n");

const QColor Black(0, 0, 0);
const QColor Green(0, 128, 0);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);
const QColor Purple(128, 0, 128);

QString PrefixOf(MessageKind kind)
{
    switch (kind) {
    case mkCommand: return QStringLiteral("COMMANDE:>  ");
    case mkDebug: return QStringLiteral("DEBUG:>     ");
    case mkError: return QStringLiteral("ERREUR:>    ");
    case mkException: return QStringLiteral("EXCEPTION:> ");
    case mkReply: return ContinuationIndent;
    case mkStatus: return QStringLiteral("STATUT:>    ");
    }
    return {};
}

QColor ColourOf(TMessengerStyle style, MessageKind kind)
{
    const bool classic = style == msgClassic;
    switch (kind) {
    case mkCommand: return classic ? Green : Blue;
    case mkDebug:
    case mkError:
    case mkException: return Red;
    case mkReply: return classic ? Black : Green;
    case mkStatus: return classic ? Blue : Purple;
    }
    return Black;
}

// Blanks and control characters only (what a log line would show as nothing).
bool IsBlank(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x20)
            return false;
    return true;
}

// The locale's long time format carries a time-zone field; a log line keeps
// only the clock, as the stamp of a desktop log is read against local time.
QString ClockFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString clock;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        clock += c;
    }
    return clock.simplified();
}

QString TimeStamp()
{
    const QLocale locale;
    const QString format = locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + ClockFormat(locale);
    return QLatin1Char('[') + locale.toString(QDateTime::currentDateTime(), format) + QLatin1String("] ");
}

// How the connection line names the server: the name the user gave and,
// when it is not the address itself, the address it reached.
QString ConnectedTarget(const QString &server, const QString &address)
{
    if (server.isEmpty() && address.isEmpty())
        return QStringLiteral("Serveur spécifié");
    if (server.isEmpty() || server == address)
        return address;
    if (!address.isEmpty())
        return server + QLatin1String("(ip: ") + address + QLatin1Char(')');
    return server;
}

// Splits at CR LF, LF or CR, keeping empty parts (a trailing break leaves an
// empty last part).
QStringList SplitLines(const QString &text)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        parts.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    parts.append(text.mid(start));
    return parts;
}

// A line left out of a long reply keeps at most this much, in case it is
// the reply's last line and is shown after all.
constexpr qsizetype MaxKeptLineLength = 1024;

QString LeftOutText(qint64 lines)
{
    return lines == 1 ? QStringLiteral("Réponse trop longue : 1 ligne non affichée")
                      : QStringLiteral("Réponse trop longue : %1 lignes non affichées").arg(lines);
}

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Bounds what the server's answer to one command echoes in the log. The
// received text is followed line by line (a read may end inside a line):
// past the limit, lines are counted instead of shown; at the end of each
// read that completed a reply, one line says how many were left out and the
// reply's last line follows, so that the user still sees how it ended. A
// server that streams lines without end thus costs the log a few lines per
// read, never the whole stream.
class TReplyEcho
{
public:
    struct Piece {
        QString text;
        bool leftOutNote = false;
    };

    explicit TReplyEcho(int maxLines) : maxLines(maxLines) {}

    // What to write of a received text, in order.
    QList<Piece> Take(const QString &chunk)
    {
        QList<Piece> pieces;
        QString shown;
        bool closingFound = false;
        qint64 leftOutBeforeClosing = 0;
        QString closingLine;
        qsizetype i = 0;
        // A line end cut between two reads: its LF belongs to the line that
        // ended with the last read.
        if (afterCr && chunk.startsWith(QLatin1Char('\n'))) {
            if (!hiding)
                shown += QLatin1Char('\n');
            i = 1;
        }
        afterCr = false;
        while (i < chunk.size()) {
            qsizetype end = i;
            while (end < chunk.size() && chunk.at(end) != QLatin1Char('\r') && chunk.at(end) != QLatin1Char('\n'))
                ++end;
            const QString body = chunk.mid(i, end - i);
            qsizetype next = end;
            const bool endsLine = end < chunk.size();
            if (endsLine) {
                ++next;
                if (chunk.at(end) == QLatin1Char('\r') && next < chunk.size() && chunk.at(next) == QLatin1Char('\n'))
                    ++next;
            }
            const QString segment = chunk.mid(i, next - i);
            i = next;
            afterCr = endsLine && i == chunk.size() && chunk.back() == QLatin1Char('\r');

            if (atLineStart) {
                head.clear();
                keptLine.clear();
            }
            if (head.size() < 4)
                head += body.left(4 - head.size());
            atLineStart = endsLine;
            const bool closes = endsLine && ClosesReply();

            if (!hiding) {
                shown += segment;
                if (++shownLines >= maxLines)
                    hiding = true;
                continue;
            }
            if (keptLine.size() < MaxKeptLineLength)
                keptLine += body.left(MaxKeptLineLength - keptLine.size());
            if (!endsLine)
                continue;
            if (!closes) {
                ++leftOut;
                continue;
            }
            // Of several replies ended in one read, the last one is shown.
            if (closingFound)
                leftOutBeforeClosing += 1;
            leftOutBeforeClosing += leftOut;
            leftOut = 0;
            closingLine = keptLine;
            closingFound = true;
        }
        if (!shown.isEmpty())
            pieces.append({shown});
        if (closingFound) {
            pieces.append({LeftOutText(leftOutBeforeClosing), true});
            pieces.append({closingLine + QStringLiteral("\r\n")});
        }
        return pieces;
    }

    // A new command, connection or disconnection: the next answer starts.
    // Returns how many lines were left out since the last note.
    qint64 Restart()
    {
        const qint64 left = leftOut;
        shownLines = 0;
        leftOut = 0;
        hiding = false;
        atLineStart = true;
        afterCr = false;
        head.clear();
        keptLine.clear();
        multiLineCode.clear();
        return left;
    }

private:
    // Whether the line just ended ends a reply, by the client's own rule: a
    // reply is one line "ddd text", or lines from "ddd-" to "ddd text" with
    // the same code.
    bool ClosesReply()
    {
        const bool coded = head.size() >= 4 && IsDigit(head.at(0)) && IsDigit(head.at(1)) && IsDigit(head.at(2));
        if (multiLineCode.isEmpty()) {
            if (coded && head.at(3) == QLatin1Char('-')) {
                multiLineCode = head.left(3);
                return false;
            }
            return coded && head.at(3) == QLatin1Char(' ');
        }
        if (coded && head.at(3) == QLatin1Char(' ') && head.left(3) == multiLineCode) {
            multiLineCode.clear();
            return true;
        }
        return false;
    }

    const int maxLines;
    int shownLines = 0;
    qint64 leftOut = 0;
    bool hiding = false;
    bool atLineStart = true;
    bool afterCr = false;  // the last read ended with CR
    QString head;          // the first characters of the current line
    QString keptLine;      // the current line, while left out
    QString multiLineCode; // the code of the multi-line reply under way
};

} // namespace

struct TVexFtpMessenger::Private
{
    explicit Private(TVexFtpMessenger *owner) : q(owner) {}

    void HandleInfo(TVexFtp *sender, FtpInfo info, const QString &addinfo);
    void HandleError(FtpError error, const QString &addinfo);
    void Append(const QStringList &texts);
    void EchoReply(const QString &text);
    // A new answer starts: lines left out of the last one are told.
    void RestartReply();

    TVexFtpMessenger *q;
    QPointer<TVexFtp> client;
    TClientBinding binding;
    bool autoScroll = true;
    TMessengerStyle style = msgClassic;
    bool connectedShown = false;
    // An empty document holds no line, or one empty line that was added:
    // only this flag tells the two apart.
    bool holdsOneEmptyLine = false;
    bool adding = false;
    QTextCharFormat insertFormat;
    QString statusFileName = QStringLiteral("Status.txt");
    QAction *saveAction = nullptr;
    TReplyEcho replyEcho{MaxReplyLines};
};

void TVexFtpMessenger::Private::EchoReply(const QString &text)
{
    for (const TReplyEcho::Piece &piece : replyEcho.Take(text))
        q->WriteMessage(piece.leftOutNote ? piece.text + LineEnd : piece.text,
                        piece.leftOutNote ? mkStatus : mkReply);
}

void TVexFtpMessenger::Private::RestartReply()
{
    if (const qint64 leftOut = replyEcho.Restart())
        q->WriteMessage(LeftOutText(leftOut) + LineEnd, mkStatus);
}

void TVexFtpMessenger::Private::HandleInfo(TVexFtp *sender, FtpInfo info, const QString &addinfo)
{
    if (q->OnMessageShow) {
        const QPointer<TVexFtpMessenger> alive(q);
        bool show = true;
        q->OnMessageShow(q, info, show);
        if (!alive || !show)
            return;
    }
    if (info == ftpiConnected || info == ftpiDisconnected || info == ftpiCommand)
        RestartReply();
    switch (info) {
    case ftpiConnected: {
        const QString server = sender ? sender->Server() : QString();
        q->WriteMessage(QStringLiteral("Connecté à ") + ConnectedTarget(server, addinfo)
                            + QStringLiteral(". Attente du message de bienvenue.") + LineEnd,
                        mkStatus);
        connectedShown = true;
        break;
    }
    case ftpiDisconnected:
        if (connectedShown) {
            q->WriteMessage(QStringLiteral("Déconnecté") + LineEnd, mkStatus);
            connectedShown = false;
        }
        break;
    case ftpiReceived:
        EchoReply(addinfo);
        break;
    case ftpiCommand:
        q->WriteMessage(addinfo, mkCommand);
        break;
    case ftpiResumeSupported:
    case ftpiResumeUnavailable:
    case ftpiRetrying:
    case ftpiNothingToDo:
        q->WriteMessage(addinfo + LineEnd, mkStatus);
        break;
    case ftpiDebug:
        q->WriteMessage(addinfo, mkDebug);
        break;
    case ftpiLoggedIn:
        q->WriteMessage(QStringLiteral("Connexion réussie") + LineEnd, mkStatus);
        break;
    default:
        break;
    }
}

void TVexFtpMessenger::Private::HandleError(FtpError error, const QString &addinfo)
{
    if (q->OnErrorShow) {
        const QPointer<TVexFtpMessenger> alive(q);
        bool show = true;
        q->OnErrorShow(q, error, show);
        if (!alive || !show)
            return;
    }
    // An error raised without a text still shows, as what its code means.
    q->WriteMessage(FtpErrorShownText(error, addinfo) + LineEnd, mkError);
}

TVexFtpMessenger::TVexFtpMessenger(QWidget *parent)
    : QPlainTextEdit(parent), d(std::make_unique<Private>(this))
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // A long session adds many thousands of lines: keeping an undo history of
    // every insertion would only cost memory.
    setUndoRedoEnabled(false);
    // A long session, or a server that streams lines without end, must not
    // grow the log without bound: the oldest lines go. (A plain-text edit
    // lays its lines out one by one, so that dropping the first line costs
    // no new layout of the rest, and colours are kept as character formats.)
    document()->setMaximumBlockCount(MaxLines);
    d->insertFormat.setForeground(Black);

    connect(document(), &QTextDocument::contentsChange, this, [this](int, int, int) {
        if (!d->adding)
            d->holdsOneEmptyLine = false;
    });

    d->saveAction = new QAction(QStringLiteral("&Sauvegarder le status"), this);
    connect(d->saveAction, &QAction::triggered, this, [this] { SaveStatus(); });
}

TVexFtpMessenger::~TVexFtpMessenger() = default;

bool TVexFtpMessenger::AutoScroll() const { return d->autoScroll; }
void TVexFtpMessenger::SetAutoScroll(bool on) { d->autoScroll = on; }

TVexFtp *TVexFtpMessenger::Client() const { return d->client.data(); }

void TVexFtpMessenger::SetClient(TVexFtp *client)
{
    if (client == d->client.data())
        return;
    d->binding.Bind(client);
    d->client = client;
    if (!client)
        return;
    d->binding.OnInfo([this](TVexFtp *sender, FtpInfo info, const QString &addinfo) { OnInfo(sender, info, addinfo); });
    d->binding.OnError([this](TVexFtp *sender, FtpError error, const QString &addinfo) {
        OnError(sender, error, addinfo);
    });
}

void TVexFtpMessenger::OnInfo(TVexFtp *client, FtpInfo info, const QString &addinfo)
{
    d->HandleInfo(client, info, addinfo);
}

void TVexFtpMessenger::OnError(TVexFtp *, FtpError error, const QString &addinfo)
{
    d->HandleError(error, addinfo);
}

TMessengerStyle TVexFtpMessenger::Style() const { return d->style; }

void TVexFtpMessenger::SetStyle(TMessengerStyle style)
{
    d->style = style;
    setFont(style == msgClassic ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QApplication::font());
}

bool TVexFtpMessenger::ConnectedShown() const { return d->connectedShown; }

void TVexFtpMessenger::WriteMessage(const QString &text, MessageKind kind)
{
    if (IsBlank(text))
        return;
    d->insertFormat.setForeground(ColourOf(d->style, kind));
    switch (d->style) {
    case msgClassic: {
        // Continuation lines are indented as far as the prefix, so that a
        // multi-line reply stays aligned under its first line.
        QStringList parts = (PrefixOf(kind) + text).split(LineEnd);
        for (qsizetype i = 1; i < parts.size(); ++i)
            parts[i].prepend(ContinuationIndent);
        d->Append(parts);
        break;
    }
    case msgVexFtpTime:
        AddLine(kind == mkReply ? text : TimeStamp() + text);
        break;
    case msgVexFtp:
    default:
        AddLine(text);
        break;
    }
}

void TVexFtpMessenger::AddLine(const QString &text)
{
    d->Append({text});
}

// Adds each text as a line (each one's own line breaks start further lines)
// in one edit, so that the document is laid out once per message rather
// than once per line.
void TVexFtpMessenger::Private::Append(const QStringList &texts)
{
    QScrollBar *bar = q->verticalScrollBar();
    const int oldMaximum = bar->maximum();

    adding = true;
    QTextCursor cursor(q->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    bool first = q->LineCount() == 0;
    for (const QString &text : texts) {
        for (const QString &part : SplitLines(text)) {
            if (first) {
                cursor.setBlockCharFormat(insertFormat);
                first = false;
            } else {
                cursor.insertBlock(QTextBlockFormat(), insertFormat);
            }
            cursor.insertText(part, insertFormat);
        }
    }
    cursor.endEditBlock();
    holdsOneEmptyLine = q->document()->isEmpty();
    adding = false;

    // Scroll by exactly what was added: a view that showed the end keeps
    // showing it, one the user scrolled back moves on by as many lines.
    if (autoScroll)
        bar->setValue(bar->value() + (bar->maximum() - oldMaximum));
}

int TVexFtpMessenger::LineCount() const
{
    if (document()->isEmpty())
        return d->holdsOneEmptyLine ? 1 : 0;
    return document()->blockCount();
}

QStringList TVexFtpMessenger::Lines() const
{
    QStringList lines;
    const int count = LineCount();
    lines.reserve(count);
    QTextBlock block = document()->begin();
    for (int i = 0; i < count && block.isValid(); ++i, block = block.next())
        lines.append(block.text());
    return lines;
}

bool TVexFtpMessenger::SaveLines(const QString &fileName, QString *error) const
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (fileName.isEmpty())
        return fail(QStringLiteral("aucun nom de fichier"));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    QByteArray bytes;
    for (const QString &line : Lines()) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    if (file.write(bytes) != bytes.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QString TVexFtpMessenger::StatusFileName() const { return d->statusFileName; }
void TVexFtpMessenger::SetStatusFileName(const QString &name) { d->statusFileName = name; }

bool TVexFtpMessenger::SaveStatus()
{
    if (LineCount() == 0)
        return false;
    const QString fileName = Prompts().SaveFileName(this, QStringLiteral("Enregistrer"), d->statusFileName,
                                                    QStringLiteral("Tous les fichiers (*)"));
    if (fileName.isEmpty())
        return false;
    QString reason;
    if (SaveLines(fileName, &reason))
        return true;
    Prompts().Message(this, QStringLiteral("Velmar"),
                      QStringLiteral("Impossible d'enregistrer le status dans le fichier « %1 » : %2")
                          .arg(fileName, reason),
                      TMessageKind::Error);
    return false;
}

QAction *TVexFtpMessenger::SaveStatusAction() const { return d->saveAction; }

void TVexFtpMessenger::AttachSaveStatusMenu()
{
    if (!actions().contains(d->saveAction))
        addAction(d->saveAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}
