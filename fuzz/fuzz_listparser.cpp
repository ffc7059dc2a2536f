// Listing lines of any dialect. The first byte picks the server type; the
// rest is LIST data, cut into lines the way the client cuts it (LF ends a
// line, a CR right before it goes, bytes are UTF-8). Every line must be
// accepted or rejected under the parser's contract (a long-listing or EPLF
// name is the end of its line, never trimmed), and the entries it yields
// must sort by their size and date columns.

#include "FtpData.h"
#include "FtpParse.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int ServerTypeCount = int(ftpstNetPresenz) + 1;

[[noreturn]] void Fail(const char *what, const QString &line)
{
    std::fprintf(stderr, "listing parser: %s\nline: %s\n", what, line.toUtf8().constData());
    std::abort();
}

void CheckLine(TVexFtpServerType type, const QString &line, TVexFtpListState &state,
               TVexFtpFileInfoList &files, TVexFtpFileInfoList &folders)
{
    VexFtpFileInfo entry;
    entry.Description = QStringLiteral("stale");
    bool isDirectory = true;
    const bool accepted = ParseListLine(type, line, state, entry, isDirectory);
    if (!entry.Description.isEmpty())
        Fail("Description not emptied", line);
    if (!accepted) {
        if (isDirectory || !entry.FileName.isEmpty() || !entry.Size.isEmpty()
            || !entry.DateTime.isEmpty() || !entry.Attrib.isEmpty() || !entry.SymbolLink.isEmpty())
            Fail("rejected line left fields", line);
    } else {
        if (line.isEmpty())
            Fail("empty line accepted", line);
        if (entry.DateTime.isEmpty())
            Fail("accepted entry without a date", line);
        // A long-listing or EPLF name is the end of its line, blanks
        // included: nothing trimmed, so RETR asks for the listed file.
        const QChar first = line.front();
        const bool ownDialect = type == ftpstVmsMultinet || type == ftpstVmsUcx || type == ftpstVM
                                || type == ftpstVMVPS;
        const bool longListing = !ownDialect && (first == u'-' || first == u'f' || first == u'd' || first == u'l');
        const bool eplf = first == u'+' && line.contains(u'\t');
        if ((eplf || (longListing && !line.contains(QLatin1String("->"))))
            && !line.endsWith(entry.FileName))
            Fail("name is not the end of its line", line);
        (isDirectory ? folders : files).AddInfo(entry);
    }
    // A broken VMS listing must not make the pending text grow without end.
    if (state.PendingVmsLine.size() > 4096 + line.size())
        Fail("pending VMS line grows", line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto type = TVexFtpServerType(data[0] % ServerTypeCount);
    const QByteArray text(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    TVexFtpListState state;
    TVexFtpFileInfoList files;
    TVexFtpFileInfoList folders;
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = text.indexOf('\n', start);
        if (lf < 0)
            break;
        qsizetype end = lf;
        if (end > start && text.at(end - 1) == '\r')
            --end;
        CheckLine(type, QString::fromUtf8(text.constData() + start, end - start), state, files, folders);
        start = lf + 1;
    }
    // The last piece, without its LF, is what a listing leaves unparsed; the
    // parser must still take it as a line of its own.
    CheckLine(type, QString::fromUtf8(text.constData() + start, text.size() - start), state, files,
              folders);

    // Sorting reads the size and date texts the parser produced.
    for (TVexFtpFileInfoList *list : {&files, &folders}) {
        const int count = list->Count();
        for (FileInfoColumn column : {colDateTime, colSize, colSymbolLink}) {
            list->Sort(column, true);
            list->Sort(column, false);
        }
        if (list->Count() != count)
            std::abort();
        VexFtpFileInfo info;
        for (int i = 0; i < count; ++i)
            list->GetInfo(i, info);
    }
    return 0;
}
