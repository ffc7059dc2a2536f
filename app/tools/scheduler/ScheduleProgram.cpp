// The scheduler's program text: layouts, fixed lines, arming and tick
// decisions, and the program files (see ScheduleProgram.h).

#include "ScheduleProgram.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// The form a French system writes (25/03/2003), understood whatever the
// locale, so that a program written under another setting still reads.
const QString FrenchDateFormat = QStringLiteral("dd/MM/yyyy");

void AppendLine(QStringList &lines, const QByteArray &data, qsizetype from, qsizetype to)
{
    QString line = QString::fromUtf8(data.constData() + from, to - from);
    line.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    lines.append(line);
}
}

QString ProgramLine(const QStringList &lines, int index)
{
    return index >= 0 && index < lines.size() ? lines.at(index) : QString();
}

QString ProgramDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString ProgramDateText(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, ProgramDateFormat(locale));
}

std::optional<QDate> ProgramDate(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QString &format : {ProgramDateFormat(locale), FrenchDateFormat}) {
        const QDate date = locale.toDate(trimmed, format);
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

QString ProgramHourText(const QString &hourEntry)
{
    return hourEntry == QLatin1String("24") ? QStringLiteral("0") : hourEntry;
}

std::optional<int> ProgramHour(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 2)
        return std::nullopt;
    int hour = 0;
    for (const QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        hour = hour * 10 + (c.unicode() - '0');
    }
    if (hour > 23)
        return std::nullopt;
    return hour;
}

QStringList DownloadLayout(const QString &dateText, const QString &hourText, const QString &downloadsFolder,
                           const QStringList &remoteEntries)
{
    QStringList lines{ScheduleText::DateHeading, dateText, ScheduleText::HourHeading, hourText,
                      ScheduleText::LocalFolderHeading, downloadsFolder, QString(), ScheduleText::DownloadAction,
                      QString()};
    lines += remoteEntries;
    return lines;
}

QStringList UploadLayout(const QString &dateText, const QString &hourText, const QStringList &folderEntries,
                         const QStringList &localEntries)
{
    QStringList lines{ScheduleText::DateHeading, dateText, ScheduleText::HourHeading, hourText};
    for (const QString &folder : folderEntries)
        lines << ScheduleText::RemoteFolderHeading << folder;
    lines << QString() << ScheduleText::UploadAction << QString();
    lines += localEntries;
    return lines;
}

TScheduleAction ProgramAction(const QStringList &lines)
{
    const QString action = ProgramLine(lines, ActionLine);
    if (action.contains(ScheduleText::DownloadWord))
        return TScheduleAction::Download;
    if (action.contains(ScheduleText::UploadWord))
        return TScheduleAction::Upload;
    return TScheduleAction::None;
}

int ReferenceLineIndex(TScheduleAction action)
{
    switch (action) {
    case TScheduleAction::Download: return FirstItemLine;
    case TScheduleAction::Upload: return FolderLine;
    case TScheduleAction::None: break;
    }
    return -1;
}

TArmDecision ArmDecision(const QStringList &lines, const QDateTime &now, const QLocale &locale)
{
    if (lines.isEmpty())
        return TArmDecision::KeepTimer;
    const std::optional<QDate> date = ProgramDate(ProgramLine(lines, DateLine), locale);
    if (!date)
        return TArmDecision::Unreadable;
    const QDate today = now.date();
    if (today > *date)
        return TArmDecision::PastDate;
    const std::optional<int> hour = ProgramHour(ProgramLine(lines, HourLine));
    if (!hour)
        return TArmDecision::Unreadable;
    if (today == *date && *hour < now.time().hour())
        return TArmDecision::PastHour;
    return TArmDecision::Start;
}

TTickDecision TickDecision(const QStringList &lines, const QDateTime &now, const QLocale &locale)
{
    const std::optional<QDate> date = ProgramDate(ProgramLine(lines, DateLine), locale);
    const std::optional<int> hour = ProgramHour(ProgramLine(lines, HourLine));
    if (!date || !hour)
        return TTickDecision::Unreadable;
    return now.date() == *date && now.time().hour() == *hour ? TTickDecision::Due : TTickDecision::Wait;
}

QStringList ProgramLinesFromText(const QString &text)
{
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

QString ProgramTextFromLines(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n'));
}

QStringList SplitProgramData(const QByteArray &data)
{
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < data.size()) {
        const char c = data.at(i);
        if (c == '\r' || c == '\n') {
            AppendLine(lines, data, start, i);
            i += (c == '\r' && i + 1 < data.size() && data.at(i + 1) == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < data.size())
        AppendLine(lines, data, start, data.size());
    return lines;
}

QByteArray ProgramFileData(const QStringList &lines)
{
    QByteArray data;
    for (const QString &line : lines) {
        data += line.toUtf8();
        data += "\r\n";
    }
    return data;
}

TProgramFile ReadProgramFile(const QString &path)
{
    TProgramFile result;
    const QFileInfo info(path);
    if (!info.exists())
        return result;
    result.state = TProgramFileState::Unreadable;
    if (info.isDir()) {
        result.error = QStringLiteral("c'est un dossier");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    // One byte past the limit, so that files whose size is not known in
    // advance (pipes, devices) are bounded too.
    const QByteArray data = file.read(MaxProgramFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    if (data.size() > MaxProgramFileSize) {
        result.error = QStringLiteral("le fichier dépasse %1 octets").arg(MaxProgramFileSize);
        return result;
    }
    result.state = TProgramFileState::Read;
    result.lines = SplitProgramData(data);
    return result;
}

bool WriteProgramFile(const QString &path, const QStringList &lines, QString *error)
{
    QSaveFile file(path);
    const QByteArray data = ProgramFileData(lines);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
