#pragma once
// Shared pieces of the listing export and print command tests: the test
// site on pyftpdlib (a folder "site" with a.txt of 1 KB, the folder img and
// optional extra files), the window's listing commands, the lines of an
// exported file, and the PDF read back with pdfinfo and pdftotext.

#include "GuiTestSupport.h"
#include "ListingCommands.h"
#include "MainWindow.h"
#include "PyFtpdServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace ListingTest {

inline const QByteArray ExplorerHeaderLine = "Nom\tTaille\tType\tDate de Modification\t";
inline const QByteArray QuickHeaderLine = "Nom\tTaille\tDate\tType\t";
inline const QString RemoteFolderPrefix = QStringLiteral("Répertoire distant en cours: ");

inline bool WriteBytes(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The folder "site" of the server's root: a.txt (1024 bytes), the folder
// img, and extraFiles files "fichier-000.txt" ... of one byte.
inline bool MakeSite(const PyFtpdServer &server, int extraFiles)
{
    const QString site = server.RootPath() + QStringLiteral("/site");
    if (!QDir().mkpath(site + QStringLiteral("/img"))
        || !WriteBytes(site + QStringLiteral("/a.txt"), QByteArray(1024, 'a')))
        return false;
    for (int i = 0; i < extraFiles; ++i)
        if (!WriteBytes(site + QStringLiteral("/fichier-%1.txt").arg(i, 3, 10, QLatin1Char('0')), "x"))
            return false;
    return true;
}

inline TListingCommands *Listing(const TfrmMain &w)
{
    return w.findChild<TListingCommands *>();
}

inline QAction *MenuItem(const TfrmMain &w, const char *name)
{
    return w.findChild<QAction *>(QLatin1String(name));
}

// The lines of an exported file, each without its CR LF; empty when a line
// does not end with CR LF.
inline QList<QByteArray> Lines(const QByteArray &text)
{
    if (!text.endsWith("\r\n"))
        return {};
    QList<QByteArray> lines = text.chopped(1).split('\n');
    for (QByteArray &line : lines) {
        if (!line.endsWith('\r'))
            return {};
        line.chop(1);
    }
    return lines;
}

inline bool PdfToolsAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

inline QString RunTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int PdfPageCount(const QString &pdf)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption)
            .match(RunTool(QStringLiteral("pdfinfo"), {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The text of every page, in order (ligatures undone).
inline QStringList PdfPages(const QString &pdf)
{
    QStringList pages = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                            .normalized(QString::NormalizationForm_KC)
                            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The pages a listing of rows takes, worked out here from the page height:
// margins of 25 mm at top and bottom, a 13 mm header block and a 5 mm
// footer, each 1.6 mm from the rows, rows of 5 mm.
inline int ExpectedPages(int rows, double pageHeightMm)
{
    const int perPage = std::max(1, int(std::floor((pageHeightMm - 50.0 - 13.0 - 5.0 - 3.2) / 5.0 + 1e-6)));
    return std::max(1, (rows + perPage - 1) / perPage);
}

// How many times name stands as a whole word in text.
inline qsizetype WordCount(const QString &text, const QString &name)
{
    return text.count(QRegularExpression(QStringLiteral("(^|\\s)%1(\\s|$)").arg(QRegularExpression::escape(name))));
}

} // namespace ListingTest
