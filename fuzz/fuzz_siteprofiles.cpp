// The connection profiles file "velmar.ini" as the disk may hold it: edited
// by hand, truncated, from another system, or garbage. Reading must take any
// file; writing the lines back must give the same lines; adding, replacing
// and removing a profile must touch its own block and nothing else, whatever
// the values hold (line breaks included).
//
// The input is the file; its NUL-separated pieces are also the ten values
// of a profile to add.

#include "SiteProfiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "site profiles: %s\n", what);
    std::abort();
}

QString TemporaryTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/velmar-fuzz-XXXXXX");
}

QTemporaryDir &Folder()
{
    static QTemporaryDir folder(TemporaryTemplate());
    if (!folder.isValid())
        Fail("no temporary folder");
    return folder;
}

// What a profile reads back as: a value cannot hold a line break.
SiteProfile OnOneLine(const SiteProfile &profile)
{
    QStringList texts = profile.Texts();
    for (QString &text : texts)
        text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return SiteProfile::FromTexts(texts);
}

void CheckCounts(const TProfileLines &lines)
{
    const int count = ProfileCount(lines);
    if (ProfileNames(lines).size() != count)
        Fail("names and count disagree");
    for (int i = -1; i <= count; ++i) {
        const bool complete = i >= 0 && i < count
                              && ProfileHeaderLineCount + qsizetype(i + 1) * ProfileBlockLineCount <= lines.size();
        if (ProfileAt(lines, i).has_value() != complete)
            Fail("a profile is read from an incomplete block, or not from a complete one");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = Folder().filePath(QStringLiteral("velmar.ini"));
    QString error;
    {
        // The file as it came, not as the program would have written it.
        QFile raw(path);
        if (!raw.open(QIODevice::WriteOnly | QIODevice::Truncate) || raw.write(bytes) != bytes.size())
            Fail("cannot write the input");
    }

    const TProfileFile file = ReadProfileFile(path);
    if (file.state != TProfileFileState::Read)
        Fail("a small file was not read");
    const TProfileLines lines = file.lines;
    if (lines != SplitProfileLines(bytes))
        Fail("the file read differs from its lines");
    CheckCounts(lines);

    // Written back as it was read.
    if (!WriteProfileFile(path, lines, &error))
        Fail("cannot write the lines back");
    const TProfileFile again = ReadProfileFile(path);
    if (again.state != TProfileFileState::Read || again.lines != lines)
        Fail("lines written back read differently");

    // Adding a profile: the blocks before it stay, it reads back on one line.
    const SiteProfile added = SiteProfile::FromTexts(QString::fromUtf8(bytes).split(QChar(u'\0')));
    TProfileLines withAdded = lines;
    AppendProfile(withAdded, added);
    CheckCounts(withAdded);
    const int count = ProfileCount(withAdded);
    if (ProfileAt(withAdded, count - 1) != OnOneLine(added))
        Fail("the added profile does not read back");
    for (qsizetype i = ProfileHeaderLineCount; i < lines.size(); ++i)
        if (withAdded.at(i) != lines.at(i))
            Fail("adding a profile changed another line");

    // Replacing by name reaches the first complete block of that name.
    SiteProfile renamed = OnOneLine(added);
    renamed.host = QStringLiteral("ftp.example.org");
    TProfileLines replaced = withAdded;
    SetProfileByName(replaced, renamed);
    if (ProfileCount(replaced) != count)
        Fail("replacing a profile added one");
    int first = -1;
    for (int i = 0; i < count && first < 0; ++i)
        if (ProfileAt(withAdded, i) && withAdded.at(ProfileHeaderLineCount + i * ProfileBlockLineCount) == renamed.name.toUtf8())
            first = i;
    if (first < 0 || ProfileAt(replaced, first) != renamed)
        Fail("the replaced profile does not read back");

    // Removing each complete block drops exactly its ten lines.
    for (int i = 0; i < ProfileCount(lines); ++i) {
        TProfileLines removed = lines;
        const bool complete = ProfileAt(lines, i).has_value();
        if (RemoveProfileAt(removed, i) != complete)
            Fail("removal of an incomplete block, or refusal of a complete one");
        if (!complete) {
            if (removed != lines)
                Fail("a refused removal changed the lines");
            continue;
        }
        const qsizetype start = ProfileHeaderLineCount + qsizetype(i) * ProfileBlockLineCount;
        if (removed.size() != lines.size() - ProfileBlockLineCount
            || removed.mid(0, start) != lines.mid(0, start)
            || removed.mid(start) != lines.mid(start + ProfileBlockLineCount))
            Fail("removing a profile touched other lines");
    }
    return 0;
}
