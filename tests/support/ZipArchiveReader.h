#pragma once
// Zip archives as the tests see them: every entry of an archive read back
// with libzip (name, sizes, compression method, contents, checked against
// its CRC), and sample contents that deflate shrinks well or not at all.
// For the tests that link libzip (the zip engine's and the compress
// commands').

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <zip.h>

namespace ZipTest {

struct TArchiveEntry {
    QByteArray name;
    qint64 size = 0;
    qint64 compressedSize = 0;
    int method = -1;
    QByteArray data;
};

// Every entry of an archive, read back with libzip; an empty list and a
// failure message when it cannot be opened or read.
inline QList<TArchiveEntry> ReadArchive(const QString &path, QString *failure = nullptr)
{
    QList<TArchiveEntry> entries;
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        if (failure)
            *failure = QStringLiteral("cannot open %1 (libzip error %2)").arg(path).arg(error);
        return entries;
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, zip_uint64_t(i), ZIP_FL_ENC_RAW, &st) != 0)
            break;
        TArchiveEntry entry;
        entry.name = st.name;
        entry.size = qint64(st.size);
        entry.compressedSize = qint64(st.comp_size);
        entry.method = st.comp_method;
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        if (!file) {
            if (failure)
                *failure = QStringLiteral("cannot open entry %1").arg(QString::fromUtf8(entry.name));
            break;
        }
        char buffer[65536];
        zip_int64_t got;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
            entry.data.append(buffer, qsizetype(got));
        const bool readFailed = got < 0;
        zip_fclose(file); // also checks the CRC of what was read
        if (readFailed) {
            if (failure)
                *failure = QStringLiteral("cannot read entry %1").arg(QString::fromUtf8(entry.name));
            break;
        }
        entries.append(entry);
    }
    zip_discard(archive);
    return entries;
}

inline QByteArrayList Names(const QList<TArchiveEntry> &entries)
{
    QByteArrayList names;
    for (const TArchiveEntry &entry : entries)
        names.append(entry.name);
    return names;
}

inline const TArchiveEntry *Find(const QList<TArchiveEntry> &entries, const QByteArray &name)
{
    for (const TArchiveEntry &entry : entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

// Text that deflate shrinks well, and bytes it cannot shrink.
inline QByteArray TextBytes(int lines, const QByteArray &seed)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += seed + " ligne " + QByteArray::number(i) + " : le site distant est à jour.\r\n";
    return text;
}

inline QByteArray NoiseBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

} // namespace ZipTest
