// The scheduler's program file "programmation.ini" as the disk may hold it:
// edited by hand, truncated, from another system, or garbage. It is read at
// every start, so reading must take any file; the lines written back must
// read the same; the arming and tick decisions must agree with each other;
// a download may only ever write inside the program's local folder; an
// upload only ever names full paths, and never replaces a file by its own
// archive.

#include "ScheduleProgram.h"
#include "ScheduleRun.h"

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
    std::fprintf(stderr, "program file: %s\n", what);
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

// The decisions at a few moments around the program's own date and hour,
// and at fixed ones.
void CheckDecisions(const QStringList &lines)
{
    const QLocale french(QLocale::French, QLocale::France);
    QList<QDateTime> moments{QDateTime(QDate(2003, 3, 25), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))};
    const std::optional<QDate> date = ProgramDate(ProgramLine(lines, DateLine), french);
    const std::optional<int> hour = ProgramHour(ProgramLine(lines, HourLine));
    if (date && hour) {
        for (int h : {*hour - 1, *hour, *hour + 1})
            if (h >= 0 && h < 24)
                moments << QDateTime(*date, QTime(h, 30));
        moments << QDateTime(date->addDays(1), QTime(*hour, 0)) << QDateTime(date->addDays(-1), QTime(*hour, 0));
    }
    for (const QDateTime &now : std::as_const(moments)) {
        const TArmDecision arm = ArmDecision(lines, now, french);
        const TTickDecision tick = TickDecision(lines, now, french);
        if (lines.isEmpty() != (arm == TArmDecision::KeepTimer))
            Fail("only an empty program keeps the timer as it is");
        if (tick == TTickDecision::Due && arm != TArmDecision::Start)
            Fail("a due program would not be armed");
        if (arm == TArmDecision::Unreadable && tick != TTickDecision::Unreadable)
            Fail("a program refused as unreadable is read by the tick");
        if (tick == TTickDecision::Due && (!date || !hour || now.date() != *date || now.time().hour() != *hour))
            Fail("due at another date or hour than the program's");
    }
}

void CheckDownloads(const QStringList &lines)
{
    const QString reference = ProgramLine(lines, FirstItemLine);
    const QString name = ProfileNameOf(reference);
    if (name.contains(QLatin1Char(':')) || !reference.startsWith(name))
        Fail("the profile name is not the start of the line before its first colon");
    // Every host the lines could name, and one they do not.
    QStringList hosts{QStringLiteral("ftp.example.net")};
    const QStringList parts = reference.split(QLatin1Char(':'));
    if (parts.size() > 1)
        hosts << parts.at(1);
    for (const QString &host : std::as_const(hosts)) {
        const QString prefix = SitePrefix(name, host);
        const std::optional<QString> folder = RemoteFolderOf(reference, prefix);
        if (folder && folder->contains(QLatin1Char(':')))
            Fail("a remote folder holds a colon");
        const TScheduledDownloads plan = PlanDownloads(lines, prefix, folder.value_or(QString()));
        if (plan.remoteNames.size() != plan.localPaths.size())
            Fail("remote names and local paths out of step");
        QString local = ProgramLine(lines, FolderLine);
        if (!plan.localPaths.isEmpty() && !QDir::isAbsolutePath(local))
            Fail("a download into a folder that is not a full path");
        if (!local.endsWith(QLatin1Char('/')))
            local += QLatin1Char('/');
        for (const QString &path : plan.localPaths) {
            if (!path.startsWith(local))
                Fail("a download outside the local folder");
            const QString fileName = path.mid(local.size());
            if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String("..")
                || fileName.contains(QLatin1Char('/')) || fileName.contains(QChar(0)))
                Fail("a download's local name leaves the local folder");
        }
    }
}

void CheckUploads(const QStringList &lines)
{
    const TScheduledUploads plan = PlanUploads(lines);
    for (const TScheduledUpload &item : plan.items) {
        if (!QDir::isAbsolutePath(item.localPath) || item.remoteName.isEmpty())
            Fail("an upload of a path that is not complete, or without a name");
        if (item.remoteName.contains(QLatin1Char('/')))
            Fail("an upload's remote name holds a folder");
        if (item.kind != TUploadKind::Send
            && QFileInfo(item.archivePath).absoluteFilePath() == QFileInfo(item.localPath).absoluteFilePath())
            Fail("a file would be replaced by its own archive");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = Folder().filePath(QStringLiteral("programmation.ini"));
    {
        // The file as it came, not as the program would have written it.
        QFile raw(path);
        if (!raw.open(QIODevice::WriteOnly | QIODevice::Truncate) || raw.write(bytes) != bytes.size())
            Fail("cannot write the input");
    }

    const TProgramFile file = ReadProgramFile(path);
    if (file.state != TProgramFileState::Read)
        Fail("a small file was not read");
    const QStringList lines = file.lines;
    if (lines != SplitProgramData(bytes))
        Fail("the file read differs from its lines");
    for (const QString &line : lines)
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')) || line.contains(QChar(0)))
            Fail("a line holds a line break or a NUL");

    // Written back (CR LF after every line) as it was read.
    QString error;
    if (!WriteProgramFile(path, lines, &error))
        Fail("cannot write the lines back");
    const TProgramFile again = ReadProgramFile(path);
    if (again.state != TProgramFileState::Read || again.lines != lines)
        Fail("lines written back read differently");
    // Through the program text and back, as the tab shows it.
    if (!(lines.size() == 1 && lines.first().isEmpty()) && ProgramLinesFromText(ProgramTextFromLines(lines)) != lines)
        Fail("the program text does not give its lines back");

    CheckDecisions(lines);
    const TScheduleAction action = ProgramAction(lines);
    if ((action == TScheduleAction::None) != (ReferenceLineIndex(action) < 0))
        Fail("an action without a reference line, or the other way round");
    CheckDownloads(lines);
    CheckUploads(lines);
    return 0;
}
