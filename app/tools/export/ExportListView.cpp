// TExportListView: the tab-separated ".XLS" writer (see ExportListView.h).
#include "ExportListView.h"

#include "FileNameExtension.h"
#include "SystemErrorText.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Tab = "\t";
const QByteArray LineEnd = "\r\n";

// A cell's text with the characters that would break the table's structure
// (a server may give file names holding TABs or line ends) made blanks.
QByteArray CellText(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    for (char &c : bytes)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return bytes;
}

// Writes bytes to path through a temporary file in the same folder renamed
// over path once complete and flushed to disk, so that path holds either
// its old contents or all of the new ones. On failure *error is the errno
// value and no temporary file is left.
bool WriteWhole(const QString &path, const QByteArray &bytes, int *error)
{
    const QByteArray target = QFile::encodeName(path);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    struct stat existing {};
    if (::stat(target.constData(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        *error = EISDIR;
        return false;
    }
    // A short hidden name, so that a target name near the length limit
    // still leaves room for it.
    QByteArray temporary = folder + "/.velmar-export-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    const auto fail = [&](int e) {
        ::close(fd);
        ::unlink(temporary.constData());
        *error = e;
        return false;
    };
    // The permissions an ordinary new file gets, or those of the file
    // replaced.
    mode_t mode;
    if (::stat(target.constData(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        done += wrote;
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(temporary.constData());
        *error = e;
        return false;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int e = errno;
        ::unlink(temporary.constData());
        *error = e;
        return false;
    }
    return true;
}

} // namespace

TExportListView::TExportListView() = default;

QString TExportListView::Caption()
{
    return QStringLiteral("&Export en XLS");
}

QString TExportListView::Hint()
{
    return QStringLiteral("Exporter vers Excel ");
}

QString TExportListView::Category()
{
    return QStringLiteral("ListView");
}

const TListViewTable &TExportListView::ListView() const
{
    return listView;
}

void TExportListView::SetListView(const TListViewTable &table)
{
    listView = table;
}

void TExportListView::ClearListView()
{
    listView = TListViewTable();
}

QString TExportListView::DATFileName() const
{
    return datFileName;
}

void TExportListView::SetDATFileName(const QString &fileName)
{
    datFileName = fileName;
}

bool TExportListView::WithHeader() const
{
    return withHeader;
}

void TExportListView::SetWithHeader(bool value)
{
    withHeader = value;
}

QString TExportListView::XlsFileName(const QString &fileName)
{
    return ChangeFileExt(fileName, QStringLiteral(".XLS"));
}

QByteArray TExportListView::FileText(const TListViewTable &table) const
{
    QByteArray text;
    if (withHeader) {
        for (const QString &caption : table.Captions)
            text += CellText(caption) + Tab;
        text += LineEnd;
    }
    // Every row gives as many texts as there are columns (at least its
    // caption); a row short of sub-items gets empty cells rather than being
    // dropped, and sub-items beyond the columns are left out.
    const qsizetype columns = std::max<qsizetype>(table.Captions.size(), 1);
    for (qsizetype row = 0; row < table.Rows.size(); ++row) {
        for (qsizetype column = 0; column < columns; ++column) {
            if (column > 0)
                text += Tab;
            text += CellText(table.Cell(row, column));
        }
        text += LineEnd;
    }
    return text;
}

TExportResult TExportListView::Export(const TListViewTable &table)
{
    TExportResult result;
    if (datFileName.isEmpty()) {
        result.Status = TExportStatus::NoFileName;
        result.Message = QStringLiteral("Pas de nom donné au fichier!");
    } else if (table.IsEmpty()) {
        result.Status = TExportStatus::NothingToExport;
    } else {
        result.FileName = XlsFileName(datFileName);
        int error = 0;
        if (WriteWhole(result.FileName, FileText(table), &error)) {
            result.Status = TExportStatus::Saved;
            result.Message = QStringLiteral("Fichier XLS: %1 sauvegardé").arg(result.FileName);
        } else {
            result.Status = TExportStatus::WriteFailed;
            result.Message = QStringLiteral("Impossible d'enregistrer le fichier %1 : %2")
                                 .arg(result.FileName, SystemErrorReason(error));
        }
    }
    if (!result.Message.isEmpty() && OnMessage)
        OnMessage(result.Message, result.IsError());
    return result;
}

TExportResult TExportListView::Execute()
{
    return Export(listView);
}
