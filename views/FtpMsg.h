#pragma once
// TVexFtpMessenger: the protocol log. Bound to a client through its listener
// table, it writes the commands sent, the replies received, status lines and
// errors as coloured lines, in one of three line formats.
//
//   auto *log = new TVexFtpMessenger(window);
//   log->SetStyle(msgVexFtp);
//   log->SetClient(ftp);                  // registers as info and error listener
//   log->AttachSaveStatusMenu();          // pop-up "&Sauvegarder le status"
//
// The log never owns its client; either may be destroyed first. It keeps
// its last MaxLines lines, and the server's answer to one command echoes at
// most MaxReplyLines lines, so that a server streaming lines without end
// neither freezes the window nor fills its memory.

#include "FtpCodes.h"

#include <QStringList>
#include <QPlainTextEdit>
#include <functional>
#include <memory>

class QAction;
class TVexFtp;
class TVexFtpMessenger;

enum TMessengerStyle {
    msgClassic = 0,    // text prefixes, fixed-pitch font
    msgVexFtp = 1,     // colours only
    msgVexFtpTime = 2, // colours and a time stamp
};

// What a written text is; selects its prefix and colour.
enum MessageKind {
    mkCommand = 0,
    mkDebug = 1,
    mkError = 2,
    mkException = 3,
    mkReply = 4,
    mkStatus = 5,
};

// Asked before a notification is written; setting show to false skips it.
using TMessengerShowEvent = std::function<void(TVexFtpMessenger *sender, FtpInfo info, bool &show)>;
using TMessengerShowEventE = std::function<void(TVexFtpMessenger *sender, FtpError error, bool &show)>;

class TVexFtpMessenger : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TVexFtpMessenger(QWidget *parent = nullptr);
    ~TVexFtpMessenger() override;

    // Scroll down by the added lines after each AddLine (default true).
    bool AutoScroll() const;
    void SetAutoScroll(bool on);

    // The client whose notifications are shown (not owned); nullptr detaches.
    // Null again once the client has been destroyed.
    TVexFtp *Client() const;
    void SetClient(TVexFtp *client);

    // Line format; assigning it also sets the font (fixed-pitch for msgClassic).
    TMessengerStyle Style() const;
    void SetStyle(TMessengerStyle style);

    // A connection line was written and no disconnection line since.
    bool ConnectedShown() const;

    TMessengerShowEvent OnMessageShow;
    TMessengerShowEventE OnErrorShow;

    // The listeners the log registers with its client: one notification or
    // error, written as designed. An error without a text is written as
    // what its code means. Each reply echoes at most MaxReplyLines lines
    // (then one line saying how many were left out, and the reply's last
    // line).
    void OnInfo(TVexFtp *client, FtpInfo info, const QString &addinfo);
    void OnError(TVexFtp *client, FtpError error, const QString &addinfo);

    // The log keeps its last MaxLines lines; older lines go (and a saved log
    // holds what is kept).
    static constexpr int MaxLines = 10000;
    static constexpr int MaxReplyLines = 500;

    // Writes text in the current style with the prefix and colour of kind.
    // A text that is empty once blanks and control characters are trimmed
    // writes nothing.
    void WriteMessage(const QString &text, MessageKind kind);
    // Appends text as a new line at the end (its own line breaks start
    // further lines) in the current insertion colour.
    void AddLine(const QString &text);

    // The log's lines, as a saved file holds them.
    int LineCount() const;
    QStringList Lines() const;

    // Writes every line followed by CR LF (UTF-8). On failure returns false
    // and, when error is given, a readable reason; the file is left as it was.
    bool SaveLines(const QString &fileName, QString *error = nullptr) const;

    // The name the save dialog proposes (default "Status.txt").
    QString StatusFileName() const;
    void SetStatusFileName(const QString &name);
    // "&Sauvegarder le status": when the log has lines, asks for a file
    // through the prompt seam and saves; a failure is shown as a message.
    // Returns true when a file was written.
    bool SaveStatus();
    // The ready-made action that runs SaveStatus(), owned by the log.
    QAction *SaveStatusAction() const;
    // Makes the log's pop-up menu the save action alone.
    void AttachSaveStatusMenu();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
