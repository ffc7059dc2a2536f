// The disk as the local tree and list show it.

#include "LocalEntriesModel.h"

#include "FileIcons.h"
#include "FileTypeNames.h"

#include <QAbstractFileIconProvider>
#include <QFileSystemModel>
#include <QDateTime>
#include <QIcon>
#include <QLocale>

namespace {
// The file system model asks its provider on its reading thread, where the
// program's icon cache may not be used: it gets no icon there, and the
// proxy gives the icons on the GUI thread.
class TNoIcons : public QAbstractFileIconProvider
{
public:
    QIcon icon(IconType) const override { return QIcon(); }
    QIcon icon(const QFileInfo &) const override { return QIcon(); }
};

TNoIcons *NoIcons()
{
    static TNoIcons provider;
    return &provider;
}

constexpr const char16_t *Titles[] = {u"Nom", u"Taille", u"Type", u"Modifié le"};

// Sizes and dates are written the French way whatever the system's locale
// ("75,09 ko", "11/12/2026 17:32"), like every other text of the program;
// the file system model would use the system's language ("75.09 KiB").
const QLocale &French()
{
    static const QLocale locale(QLocale::French, QLocale::France);
    return locale;
}
}

TLocalEntriesModel::TLocalEntriesModel(QDir::Filters filters, QObject *parent)
    : QIdentityProxyModel(parent), fileSystem(new QFileSystemModel(this))
{
    fileSystem->setIconProvider(NoIcons());
    fileSystem->setFilter((filters | QDir::NoDotAndDotDot) & ~QDir::Hidden);
    fileSystem->setReadOnly(true);
    // A mask hides the files it does not match (folders always show).
    fileSystem->setNameFilterDisables(false);
    setSourceModel(fileSystem);
}

TLocalEntriesModel::~TLocalEntriesModel() = default;

QVariant TLocalEntriesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    // The name is the first column's text, whichever column is asked.
    const QModelIndex source = mapToSource(index).siblingAtColumn(ColName);
    if (role == Qt::DecorationRole && index.column() == ColName)
        return fileSystem->isDir(source) ? FolderIcon() : FileIconForName(fileSystem->fileName(source));
    if (role == Qt::DisplayRole && index.column() == ColType)
        return LocalEntryTypeName(fileSystem->fileName(source), fileSystem->isDir(source));
    if (role == Qt::DisplayRole && index.column() == ColSize)
        return fileSystem->isDir(source)
                   ? QString()
                   : French().formattedDataSize(fileSystem->size(source), 2, QLocale::DataSizeTraditionalFormat);
    if (role == Qt::DisplayRole && index.column() == ColDate)
        return French().toString(fileSystem->lastModified(source), QLocale::ShortFormat);
    return QIdentityProxyModel::data(index, role);
}

QVariant TLocalEntriesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return QString::fromUtf16(Titles[section]);
    return QIdentityProxyModel::headerData(section, orientation, role);
}
