#include "FtpListModel.h"

#include "FileIcons.h"
#include "FileTypeNames.h"
#include "FtpData.h"

#include <QBitArray>
#include <QIcon>
#include <QStringList>

namespace {

struct ColumnInfo {
    const char16_t *title;
    int width;
};

constexpr ColumnInfo Columns[TVexFtpListModel::ColumnCount] = {
    {u"Nom", 128},
    {u"Taille", 84},
    {u"Type", 108},
    {u"Date de Modification", 108},
    {u"Attributs", 80},
    {u"Propriétaire", 80},
    {u"Groupe", 80},
    {u"Description", 128},
};

// A date text that begins with "/" is one the parser could not read.
bool unreadableDate(const QString &dateTime)
{
    return dateTime.startsWith(QLatin1Char('/'));
}

// Rounds bytes / 1024 to the nearest whole number, halves away from zero,
// without overflowing near the ends of the range.
qint64 roundedKilobytes(qint64 bytes)
{
    qint64 kb = bytes / 1024;
    const qint64 rest = bytes % 1024;
    if (rest >= 512)
        ++kb;
    else if (rest <= -512)
        --kb;
    return kb;
}

} // namespace

QString ListSizeText(const QString &size)
{
    if (size == QLatin1String("0"))
        return QStringLiteral("0KB");
    // 64-bit, as every size in the client: files over 2 GiB are common.
    bool ok = false;
    qint64 bytes = size.toLongLong(&ok, 10);
    if (!ok)
        bytes = 0;
    const qint64 kb = roundedKilobytes(bytes);
    if (kb == 0)
        return QStringLiteral("1KB");
    return QString::number(kb) + QStringLiteral("KB");
}

struct TVexFtpListModel::Private {
    std::unique_ptr<TVexFtpFileInfoList> folders = std::make_unique<TVexFtpFileInfoList>();
    std::unique_ptr<TVexFtpFileInfoList> files = std::make_unique<TVexFtpFileInfoList>();
    bool showParent = false;
    bool editable = true;
    // Upper-case names of the folders, then the files, in display order
    // (empty for blank rows, so that type-ahead never lands on them).
    QStringList searchNames;
    QBitArray blankFiles;
    QIcon folderIcon = FolderIcon();

    // The entry behind a row: its index in folders (isFolder) or files.
    bool Entry(int row, bool &isFolder, int &index) const
    {
        if (showParent)
            --row;
        if (row < 0)
            return false;
        if (row < folders->Count()) {
            isFolder = true;
            index = row;
            return true;
        }
        row -= folders->Count();
        if (row < files->Count()) {
            isFolder = false;
            index = row;
            return true;
        }
        return false;
    }
};

int TVexFtpListModel::ColumnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? Columns[column].width : 0;
}

TVexFtpListModel::TVexFtpListModel(QObject *parent)
    : QAbstractTableModel(parent)
    , d(std::make_unique<Private>())
{
}

TVexFtpListModel::~TVexFtpListModel() = default;

void TVexFtpListModel::SetContents(std::unique_ptr<TVexFtpFileInfoList> folders,
                                   std::unique_ptr<TVexFtpFileInfoList> files, bool showParentEntry)
{
    if (!folders)
        folders = std::make_unique<TVexFtpFileInfoList>();
    if (!files)
        files = std::make_unique<TVexFtpFileInfoList>();
    beginResetModel();
    d->folders = std::move(folders);
    d->files = std::move(files);
    d->showParent = showParentEntry;
    d->searchNames.clear();
    d->searchNames.reserve(d->folders->Count() + d->files->Count());
    d->blankFiles = QBitArray(d->files->Count());
    VexFtpFileInfo info;
    for (int i = 0; i < d->folders->Count(); ++i) {
        d->folders->GetInfo(i, info);
        d->searchNames << info.FileName.toUpper();
    }
    for (int i = 0; i < d->files->Count(); ++i) {
        d->files->GetInfo(i, info);
        if (unreadableDate(info.DateTime)) {
            d->blankFiles.setBit(i);
            d->searchNames << QString();
        } else {
            d->searchNames << info.FileName.toUpper();
        }
    }
    endResetModel();
}

void TVexFtpListModel::Clear()
{
    SetContents(nullptr, nullptr, false);
}

bool TVexFtpListModel::ShowsParentEntry() const
{
    return d->showParent;
}

const TVexFtpFileInfoList &TVexFtpListModel::Folders() const
{
    return *d->folders;
}

const TVexFtpFileInfoList &TVexFtpListModel::Files() const
{
    return *d->files;
}

TVexFtpListModel::RowKind TVexFtpListModel::Kind(int row) const
{
    if (d->showParent && row == 0)
        return RowKind::Parent;
    bool isFolder = false;
    int index = 0;
    if (!d->Entry(row, isFolder, index))
        return RowKind::None;
    if (isFolder)
        return RowKind::Folder;
    return d->blankFiles.testBit(index) ? RowKind::Blank : RowKind::File;
}

QString TVexFtpListModel::Caption(int row) const
{
    switch (Kind(row)) {
    case RowKind::Parent:
        return QStringLiteral("..");
    case RowKind::Folder:
    case RowKind::File: {
        bool isFolder = false;
        int index = 0;
        d->Entry(row, isFolder, index);
        VexFtpFileInfo info;
        (isFolder ? d->folders : d->files)->GetInfo(index, info);
        return info.FileName;
    }
    case RowKind::Blank:
    case RowKind::None:
        break;
    }
    return QString();
}

int TVexFtpListModel::FindCaption(const QString &text, int startRow, bool wrap) const
{
    const int rows = rowCount();
    if (rows == 0 || text.isEmpty())
        return -1;
    if (startRow < 0 || startRow >= rows)
        startRow = 0;
    const QString wanted = text.toUpper();
    const int offset = d->showParent ? 1 : 0;
    int row = startRow;
    for (;;) {
        const int name = row - offset;
        if (name >= 0 && name < d->searchNames.size() && d->searchNames.at(name).startsWith(wanted))
            return row;
        if (++row == rows) {
            if (!wrap)
                return -1;
            row = 0;
        }
        if (row == startRow)
            return -1;
    }
}

int TVexFtpListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return d->folders->Count() + d->files->Count() + (d->showParent ? 1 : 0);
}

int TVexFtpListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TVexFtpListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() < 0 || index.column() >= ColumnCount)
        return {};
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return column == ColSize ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    // The in-place editor starts from the caption.
    if (role == Qt::EditRole)
        return column == ColName ? QVariant(Caption(index.row())) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::DecorationRole)
        return {};

    const RowKind kind = Kind(index.row());
    switch (kind) {
    case RowKind::None:
    case RowKind::Blank:
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    case RowKind::Parent:
        if (role == Qt::DecorationRole)
            return column == ColName ? QVariant(d->folderIcon) : QVariant();
        return column == ColName ? QStringLiteral("..") : QString();
    case RowKind::Folder:
    case RowKind::File:
        break;
    }

    bool isFolder = false;
    int entry = 0;
    d->Entry(index.row(), isFolder, entry);
    VexFtpFileInfo info;
    (isFolder ? d->folders : d->files)->GetInfo(entry, info);
    if (role == Qt::DecorationRole) {
        if (column != ColName)
            return {};
        return isFolder ? d->folderIcon : FileIconForName(info.FileName);
    }
    switch (column) {
    case ColName:
        return info.FileName;
    case ColSize:
        return isFolder ? QString() : ListSizeText(info.Size);
    case ColType:
        return isFolder ? RemoteFolderTypeName() : FileTypeName(info.FileName);
    case ColDate:
        return info.DateTime;
    case ColAttrib:
        return info.Attrib;
    case ColOwner:
        return info.Owner;
    case ColGroup:
        return info.Group;
    case ColDescription:
        return info.Description;
    default:
        return {};
    }
}

QVariant TVexFtpListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromUtf16(Columns[section].title);
    if (role == Qt::TextAlignmentRole)
        return int((section == ColSize ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TVexFtpListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const RowKind kind = Kind(index.row());
    if (kind == RowKind::Folder || kind == RowKind::File) {
        flags |= Qt::ItemIsDragEnabled;
        if (d->editable && index.column() == ColName)
            flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool TVexFtpListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // The entry keeps its name until the client lists the folder again: the
    // edit is only a request, which the owner may carry out or not.
    if (role != Qt::EditRole || !index.isValid() || index.column() != ColName
        || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString caption = Caption(index.row());
    const QString edited = value.toString();
    if (edited != caption)
        emit CaptionEdited(index.row(), caption, edited);
    return false;
}

bool TVexFtpListModel::Editable() const
{
    return d->editable;
}

void TVexFtpListModel::SetEditable(bool editable)
{
    d->editable = editable;
}
