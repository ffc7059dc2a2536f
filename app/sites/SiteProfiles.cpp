#include "SiteProfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
int BlockStart(int index)
{
    return ProfileHeaderLineCount + ProfileBlockLineCount * index;
}

bool BlockComplete(const TProfileLines &lines, int index)
{
    return index >= 0 && index < ProfileCount(lines)
        && qsizetype(BlockStart(index)) + ProfileBlockLineCount <= lines.size();
}

QByteArray OneLine(const QString &value)
{
    QByteArray line = value.toUtf8();
    line.replace('\r', ' ');
    line.replace('\n', ' ');
    return line;
}
}

QStringList SiteProfile::Texts() const
{
    return {name, host, port, user, password, proxyFlag, proxyHost, proxyPort, webPage, baseDirectory};
}

SiteProfile SiteProfile::FromTexts(const QStringList &texts)
{
    const auto at = [&texts](int i) { return i < texts.size() ? texts.at(i) : QString(); };
    return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), at(9)};
}

TProfileLines ProfileFileHeader()
{
    const QByteArray stars(39, '*');
    return {QStringLiteral("Paramètres des connexions enregistrées:").toUtf8(), stars, stars};
}

TProfileLines SplitProfileLines(const QByteArray &data)
{
    TProfileLines lines;
    qsizetype start = 0;
    const qsizetype size = data.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(data.mid(start, i - start));
        if (c == '\r' && i + 1 < size && data.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(data.mid(start));
    return lines;
}

TProfileFile ReadProfileFile(const QString &path)
{
    TProfileFile result;
    QFile file(path);
    if (!QFileInfo::exists(path))
        return result;
    result.state = TProfileFileState::Unreadable;
    if (QFileInfo(path).isDir()) {
        result.error = QStringLiteral("c'est un dossier");
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    // Read one byte past the limit so that files whose size is not known in
    // advance (pipes, devices) are bounded too.
    const QByteArray data = file.read(MaxProfileFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    if (data.size() > MaxProfileFileSize) {
        result.error = QStringLiteral("le fichier dépasse %1 octets").arg(MaxProfileFileSize);
        return result;
    }
    result.state = TProfileFileState::Read;
    result.lines = SplitProfileLines(data);
    return result;
}

bool WriteProfileFile(const QString &path, const TProfileLines &lines, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    // The temporary file becomes the profile file: restrict it before the
    // first password is written.
    ::fchmod(file.handle(), S_IRUSR | S_IWUSR);
#endif
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray data;
    for (const QByteArray &line : lines) {
        data += line;
        data += "\r\n";
    }
    if (file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

int ProfileCount(const TProfileLines &lines)
{
    if (lines.size() <= ProfileHeaderLineCount)
        return 0;
    const qsizetype body = lines.size() - ProfileHeaderLineCount;
    return int((body + ProfileBlockLineCount - 1) / ProfileBlockLineCount);
}

QStringList ProfileNames(const TProfileLines &lines)
{
    QStringList names;
    const int count = ProfileCount(lines);
    names.reserve(count);
    for (int k = 0; k < count; ++k)
        names.append(QString::fromUtf8(lines.at(BlockStart(k))));
    return names;
}

std::optional<SiteProfile> ProfileAt(const TProfileLines &lines, int index)
{
    if (!BlockComplete(lines, index))
        return std::nullopt;
    QStringList texts;
    const int start = BlockStart(index);
    for (int j = 0; j < ProfileBlockLineCount; ++j)
        texts.append(QString::fromUtf8(lines.at(start + j)));
    return SiteProfile::FromTexts(texts);
}

TProfileLines ProfileBlock(const SiteProfile &profile)
{
    TProfileLines block;
    for (const QString &value : profile.Texts())
        block.append(OneLine(value));
    return block;
}

void AppendProfile(TProfileLines &lines, const SiteProfile &profile)
{
    const TProfileLines header = ProfileFileHeader();
    while (lines.size() < ProfileHeaderLineCount)
        lines.append(header.at(lines.size()));
    const qsizetype aligned = BlockStart(ProfileCount(lines));
    while (lines.size() < aligned)
        lines.append(QByteArray());
    lines.append(ProfileBlock(profile));
}

bool RemoveProfileAt(TProfileLines &lines, int index)
{
    if (!BlockComplete(lines, index))
        return false;
    lines.remove(BlockStart(index), ProfileBlockLineCount);
    return true;
}

void SetProfileByName(TProfileLines &lines, const SiteProfile &profile)
{
    const QByteArray name = OneLine(profile.name);
    const int count = ProfileCount(lines);
    for (int k = 0; k < count; ++k) {
        if (BlockComplete(lines, k) && lines.at(BlockStart(k)) == name) {
            const TProfileLines block = ProfileBlock(profile);
            for (int j = 0; j < ProfileBlockLineCount; ++j)
                lines[BlockStart(k) + j] = block.at(j);
            return;
        }
    }
    AppendProfile(lines, profile);
}
