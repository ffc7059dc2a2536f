#include "FtpParse.h"

#include "FtpDialectDate.h"
#include "FtpMisc.h"

#include <QVarLengthArray>

const QStringView FileLinkMarks[7] = {u".gz",    u".exe",   u".txt", u".tar",
                                      u"copying", u"readme", u".diff"};

namespace {

// A VMS name never needs more; a longer pending text is a broken listing and
// must not grow line after line.
constexpr qsizetype PendingVmsLimit = 4096;

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Position of the first "->", or -1. Looking for the rare ">" first is much
// quicker than a substring search on every line.
qsizetype IndexOfArrow(QStringView line)
{
    qsizetype from = 1;
    for (;;) {
        const qsizetype gt = line.indexOf(u'>', from);
        if (gt < 0)
            return -1;
        if (line[gt - 1] == u'-')
            return gt - 1;
        from = gt + 1;
    }
}

// Token k of a line: runs of blanks (not tabs) count as one blank, and a word
// is a token only when a blank follows it, so the last word of a line is an
// empty token. A line that begins with a blank has an empty token 0.
class Tokens {
public:
    static constexpr int Max = 12;

    explicit Tokens(QStringView line)
    {
        const qsizetype n = line.size();
        qsizetype i = 0;
        while (m_count < Max) {
            const qsizetype start = i;
            while (i < n && line[i] != u' ')
                ++i;
            if (i >= n)
                break;
            m_tokens[m_count++] = line.mid(start, i - start);
            while (i < n && line[i] == u' ')
                ++i;
        }
    }

    QStringView operator[](int k) const { return k >= 0 && k < m_count ? m_tokens[k] : QStringView(); }

private:
    QStringView m_tokens[Max];
    int m_count = 0;
};

// Blanks and control characters around an EPLF name that lacks its tab.
QStringView TrimControls(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && s[end - 1].unicode() <= 0x20)
        --end;
    return s.mid(begin, end - begin);
}

// The date of a long listing line is its three date words joined by single
// blanks; they are joined on the stack and written straight into the entry.
void JoinedDateInto(QStringView a, QStringView b, QStringView c, QString &out)
{
    QVarLengthArray<QChar, 64> joined;
    joined.reserve(a.size() + b.size() + c.size() + 2);
    joined.append(a.data(), a.size());
    joined.append(QChar(u' '));
    joined.append(b.data(), b.size());
    joined.append(QChar(u' '));
    joined.append(c.data(), c.size());
    ListDateInto(QStringView(joined.data(), joined.size()), out);
}

// The name of a long listing line: skip n words (each with its run of
// blanks) before the link arrow, then one more word (the time or year) and
// the one blank that separates it from the name. Everything else is the
// name, leading, inner and trailing blanks included, so that a download
// asks for exactly the file that was listed; only the blank that "ls" puts
// before " -> " goes with the arrow.
QString NameAfterWords(QStringView line, qsizetype arrow, int n)
{
    const QStringView text = arrow < 0 ? line : line.left(arrow);
    qsizetype i = 0;
    for (int word = 0; word < n; ++word) {
        const qsizetype blank = text.indexOf(u' ', i);
        if (blank < 0)
            return QString();
        i = blank;
        while (i < text.size() && text[i] == u' ')
            ++i;
    }
    const QStringView rest = text.mid(i);
    const qsizetype blank = rest.indexOf(u' ');
    // A last word with nothing after it stands for the name itself.
    if (blank < 0)
        return rest.toString();
    QStringView name = rest.mid(blank + 1);
    if (arrow >= 0 && name.endsWith(u' '))
        name.chop(1);
    return name.toString();
}

// "-rw-r--r--+" (an access control list), "drwxr-xr-x@" (extended
// attributes, macOS) and "-rw-r--r--." (a security context, GNU ls): a
// permission field with one mark after it, laid out like the plain field.
bool IsMarkedPermissionField(QStringView field)
{
    if (field.size() != 11)
        return false;
    const QChar mark = field[10];
    if (mark != u'+' && mark != u'@' && mark != u'.')
        return false;
    for (qsizetype i = 1; i < 10; ++i) {
        if (!QStringView(u"rwxsStTlL-").contains(field[i]))
            return false;
    }
    return true;
}

void ApplyLinkRule(QStringView line, qsizetype arrow, VexFtpFileInfo &entry, bool &isDirectory)
{
    if (arrow < 0)
        return;
    const QStringView link = line.mid(arrow);
    entry.SymbolLink = link.toString();
    isDirectory = true;
    for (QStringView mark : FileLinkMarks) {
        if (link.contains(mark, Qt::CaseInsensitive)) {
            isDirectory = false;
            break;
        }
    }
}

void ApplyLinkRule(QStringView line, VexFtpFileInfo &entry, bool &isDirectory)
{
    ApplyLinkRule(line, IndexOfArrow(line), entry, isDirectory);
}

// field receives text, sharing last when last already holds that text.
void KeepShared(QString &last, QStringView text, QString &field)
{
    if (last != text)
        last = text.toString();
    field = last;
}

// "+fact,fact,...,<tab>name": the tab ends the facts and the name is
// everything after it, blanks and commas included. A line without the tab
// takes its name after the last comma, trimmed.
bool ParseEplf(QStringView line, VexFtpFileInfo &entry, bool &isDirectory)
{
    const qsizetype tab = line.indexOf(u'\t');
    QStringView rest = tab < 0 ? line.mid(1) : line.mid(1, tab - 1);
    entry.Size = QStringLiteral("0");
    entry.DateTime = QString::fromLatin1(UnknownDateText);
    qsizetype comma;
    while ((comma = rest.indexOf(u',')) >= 0) {
        const QStringView fact = rest.left(comma);
        rest = rest.mid(comma + 1);
        if (fact.isEmpty())
            continue;
        const QStringView value = fact.mid(1);
        switch (fact.front().unicode()) {
        case u'/':
            isDirectory = true;
            break;
        case u'r':
            isDirectory = false;
            break;
        case u's':
            entry.Size = value.toString();
            break;
        case u'm':
            entry.DateTime = UnixTimeToText(value.toString());
            break;
        case u'i':
            entry.SymbolLink = value.toString();
            break;
        default:
            break;
        }
    }
    entry.FileName = tab < 0 ? TrimControls(rest).toString() : line.mid(tab + 1).toString();
    return !entry.FileName.isEmpty();
}

bool ParseVms(QStringView line, TVexFtpListState &state, VexFtpFileInfo &entry,
              bool &isDirectory)
{
    QString joined;
    QStringView text = line;
    if (!state.PendingVmsLine.isEmpty()) {
        joined.reserve(state.PendingVmsLine.size() + line.size());
        joined.append(state.PendingVmsLine).append(line);
        state.PendingVmsLine.clear();
        text = joined;
    }
    if (!text.contains(u';'))
        return false;
    const Tokens tokens(text);
    if (tokens[0].isEmpty()) {
        if (text.size() <= PendingVmsLimit)
            state.PendingVmsLine = text.toString();
        return false;
    }
    QStringView name = tokens[0];
    name = name.left(name.indexOf(u';'));
    const qsizetype dir = name.indexOf(u".DIR");
    isDirectory = dir >= 0;
    if (isDirectory)
        name = name.left(dir);
    entry.FileName = name.toString();
    entry.Size = tokens[1].toString();
    entry.DateTime = DialectDateToText(tokens[2], tokens[3]);
    ApplyLinkRule(text, entry, isDirectory);
    return true;
}

bool ParseVm(QStringView line, VexFtpFileInfo &entry, bool &isDirectory)
{
    const Tokens tokens(line);
    QString name;
    name.reserve(tokens[0].size() + 1 + tokens[1].size());
    name.append(tokens[0]).append(u'.').append(tokens[1]);
    entry.FileName = name;
    entry.Size = tokens[3].toString();
    entry.DateTime = DialectDateToText(tokens[6], tokens[7]);
    isDirectory = false;
    ApplyLinkRule(line, entry, isDirectory);
    return true;
}

bool ParseVmVps(QStringView line, VexFtpFileInfo &entry, bool &isDirectory)
{
    if (line.contains(u'=') || line.contains(u"totals:") || line.contains(u" rf trks")
        || line.contains(u"track limit"))
        return false;
    const Tokens tokens(line);
    entry.FileName = u'.' + tokens[1].toString();
    entry.Size = tokens[2].toString();
    entry.DateTime = DialectDateToText(tokens[7], tokens[6]);
    isDirectory = false;
    ApplyLinkRule(line, entry, isDirectory);
    return true;
}

// The name column of this format begins at column 40 (index 39).
constexpr qsizetype DosNameColumn = 39;

bool ParseDos(QStringView line, VexFtpFileInfo &entry, bool &isDirectory)
{
    const Tokens tokens(line);
    const QStringView size = tokens[2];
    isDirectory = size == u"<DIR>";
    entry.Size = isDirectory ? QStringLiteral("0") : size.toString();
    entry.DateTime = DosDateToText(tokens[0].toString(), tokens[1].toString());
    if (line.size() > DosNameColumn)
        entry.FileName = line.mid(DosNameColumn).toString();
    return true;
}

bool ParseUnix(TVexFtpServerType serverType, QStringView line, TVexFtpListState &state,
               VexFtpFileInfo &entry, bool &isDirectory)
{
    const QChar first = line.front();
    isDirectory = first == u'd' || first == u'l';
    const Tokens tokens(line);

    int k;
    switch (serverType) {
    case ftpstNetTerm:
        k = 2;
        break;
    case ftpstNetware:
        k = 3;
        break;
    case ftpstNetPresenz:
        k = isDirectory ? 2 : 3;
        break;
    default: {
        if (tokens[1].isEmpty())
            return false;
        const bool longAttributes = tokens[0].size() > 10 && !IsMarkedPermissionField(tokens[0]);
        if (tokens[1].startsWith(u'[') || longAttributes) {
            k = 3;
        } else {
            // A number in token 4 is the size; a month name there means the
            // listing has no group column.
            const QStringView fifth = tokens[4];
            k = fifth.isEmpty() || fifth.front() <= u'9' ? 4 : 3;
        }
        break;
    }
    }

    KeepShared(state.LastAttrib, tokens[0], entry.Attrib);
    KeepShared(state.LastOwner, tokens[2], entry.Owner);
    KeepShared(state.LastGroup, tokens[3], entry.Group);
    entry.Size = tokens[k].toString();
    JoinedDateInto(tokens[k + 1], tokens[k + 2], tokens[k + 3], entry.DateTime);
    const qsizetype arrow = IndexOfArrow(line);
    entry.FileName = NameAfterWords(line, arrow, k + 3);
    ApplyLinkRule(line, arrow, entry, isDirectory);
    return true;
}

} // namespace

bool ParseListLine(TVexFtpServerType serverType, QStringView line, TVexFtpListState &state,
                   VexFtpFileInfo &entry, bool &isDirectory)
{
    entry = VexFtpFileInfo();
    isDirectory = false;
    if (line.isEmpty())
        return false;

    bool accepted = false;
    if (line.front() == u'+') {
        accepted = ParseEplf(line, entry, isDirectory);
    } else if (serverType == ftpstVmsMultinet || serverType == ftpstVmsUcx) {
        accepted = ParseVms(line, state, entry, isDirectory);
    } else if (serverType == ftpstVM) {
        accepted = ParseVm(line, entry, isDirectory);
    } else if (serverType == ftpstVMVPS) {
        accepted = ParseVmVps(line, entry, isDirectory);
    } else {
        const QChar first = line.front();
        if (IsAsciiDigit(first))
            accepted = ParseDos(line, entry, isDirectory);
        else if (first == u'-' || first == u'f' || first == u'd' || first == u'l')
            accepted = ParseUnix(serverType, line, state, entry, isDirectory);
    }
    if (!accepted) {
        entry = VexFtpFileInfo();
        isDirectory = false;
    }
    return accepted;
}
