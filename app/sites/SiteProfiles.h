#pragma once
// The connection profiles file "velmar.ini": three header lines, then ten
// lines per profile, lines ended by CR LF, read and written whole. Field j
// of profile k is line 3 + 10 * k + j.
//
// Lines are kept as bytes: whatever a file holds outside the blocks the
// program touches is written back unchanged. Reading survives any file
// (truncated, binary, huge): a file above MaxProfileFileSize is not read.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct SiteProfile {
    QString name;
    QString host;
    QString port;
    QString user;
    QString password;
    QString proxyFlag; // "1" when the proxy box is checked, "0" otherwise
    QString proxyHost;
    QString proxyPort;
    QString webPage;
    QString baseDirectory;

    QStringList Texts() const;                               // the ten values in file order
    static SiteProfile FromTexts(const QStringList &texts);  // missing values are empty
    bool operator==(const SiteProfile &) const = default;
};

using TProfileLines = QList<QByteArray>;

constexpr int ProfileHeaderLineCount = 3;
constexpr int ProfileBlockLineCount = 10;
constexpr qint64 MaxProfileFileSize = 1024 * 1024;

TProfileLines ProfileFileHeader();

// Splits like a text list: CR LF, LF or CR end a line; a last line without
// an end counts; an empty text has no line.
TProfileLines SplitProfileLines(const QByteArray &data);

enum class TProfileFileState { Missing, Read, Unreadable };
struct TProfileFile {
    TProfileFileState state = TProfileFileState::Missing;
    TProfileLines lines;
    QString error; // why an existing file could not be read
};
TProfileFile ReadProfileFile(const QString &path);

// Writes every line followed by CR LF, replacing the file at once, readable
// and writable by its owner only (the passwords are in clear).
bool WriteProfileFile(const QString &path, const TProfileLines &lines, QString *error);

// The name line of every block that starts in lines, in order.
QStringList ProfileNames(const TProfileLines &lines);
// The number of blocks that start in lines (the last one may be truncated).
int ProfileCount(const TProfileLines &lines);
// The profile at index; nothing when that block is missing or truncated.
std::optional<SiteProfile> ProfileAt(const TProfileLines &lines, int index);

// The ten lines of profile (a line break inside a value becomes a blank, so
// that the blocks after it stay in place).
TProfileLines ProfileBlock(const SiteProfile &profile);

// Appends profile as the last block. A missing header is completed first and
// a truncated last block is completed with empty lines, so that the new
// block starts where the next reading looks for it.
void AppendProfile(TProfileLines &lines, const SiteProfile &profile);
// Removes the block at index; false (nothing changed) when that block is
// missing or truncated.
bool RemoveProfileAt(TProfileLines &lines, int index);
// Replaces the first complete block named profile.name, or appends profile
// when there is none.
void SetProfileByName(TProfileLines &lines, const SiteProfile &profile);
