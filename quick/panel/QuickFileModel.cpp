// The quick explorer's rows: their texts, their comparison and their model.
#include "QuickFileModel.h"

#include "FileIcons.h"

#include <QIcon>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace {

struct ColumnInfo {
    const char16_t *title;
    int width;
};

constexpr ColumnInfo Columns[TQuickFileModel::ColumnCount] = {
    {u"Nom", 150},
    {u"Taille", 75},
    {u"Date", 120},
    {u"Type", 200},
};

// The dates of the lists are written the French way whatever the system's
// locale (see QuickDateText).
const QLocale &DateLocale()
{
    static const QLocale locale(QLocale::French, QLocale::France);
    return locale;
}

// A time format without its time-zone part ("HH:mm:ss t" -> "HH:mm:ss").
QString WithoutZone(const QString &format)
{
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        kept += c;
    }
    return kept.simplified();
}

// Name and type texts are compared code unit by code unit (ordinal).
int Ordinal(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseSensitive);
}

template <typename T> int Order(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

QString QuickSizeText(qint64 size)
{
    // size / 1024 rounded to the nearest whole number, at least 1; computed
    // in integers so that no size near the end of the range overflows.
    qint64 kb = size / 1024 + (size % 1024 >= 512 ? 1 : 0);
    kb = std::max<qint64>(kb, 1);
    return QuickTotalText(kb) + QStringLiteral(" KB");
}

QString QuickDateText(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return QString();
    const QLocale &locale = DateLocale();
    // The clock fields as the listing gave them: no zone conversion.
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    QString text = locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
    if (time != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(time, WithoutZone(locale.timeFormat(QLocale::LongFormat)));
    return text;
}

QString QuickTotalText(qint64 bytes)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(bytes);
}

int CompareQuickRows(const TQuickFileRow &a, const TQuickFileRow &b, TQuickSortKey key)
{
    switch (key) {
    case qskName: {
        const auto text = [](const TQuickFileRow &row) {
            return row.IsDirectory() ? QLatin1Char(' ') + row.Caption : row.Caption.toUpper();
        };
        return Ordinal(text(a), text(b));
    }
    case qskDate: {
        const QDateTime &first = a.Data ? a.Data->DateTime : QDateTime();
        const QDateTime &second = b.Data ? b.Data->DateTime : QDateTime();
        // A row without a date counts as the earliest.
        if (!first.isValid() || !second.isValid())
            return Order(first.isValid(), second.isValid());
        return Order(first, second);
    }
    case qskSize:
        return Order(a.Size(), b.Size());
    case qskType: {
        const auto text = [](const TQuickFileRow &row) {
            return row.SizeText.isEmpty() ? QLatin1Char(' ') + row.Caption : row.TypeText;
        };
        return Ordinal(text(a), text(b));
    }
    }
    return 0;
}

int TQuickFileModel::ColumnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? Columns[column].width : 0;
}

QString TQuickFileModel::ColumnSample(int column)
{
    switch (column) {
    case ColSize:
        // Sizes up to about 100 GB.
        return QuickSizeText(qint64(99999999) * 1024);
    case ColDate:
        return QuickDateText(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58), Qt::UTC));
    default:
        return QString();
    }
}

TQuickFileModel::TQuickFileModel(QObject *parent) : QAbstractTableModel(parent)
{
    for (const ColumnInfo &column : Columns)
        headers << QString::fromUtf16(column.title);
}

TQuickFileModel::~TQuickFileModel() = default;

void TQuickFileModel::SetRows(QList<TQuickFileRow> value)
{
    beginResetModel();
    rows = std::move(value);
    endResetModel();
}

void TQuickFileModel::Clear()
{
    SetRows({});
}

void TQuickFileModel::SetRow(int row, const TQuickFileRow &value)
{
    if (row < 0 || row >= rows.size())
        return;
    rows[row] = value;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void TQuickFileModel::Sort(TQuickSortKey key, bool descending)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(size_t(rows.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int result = CompareQuickRows(rows.at(a), rows.at(b), key);
        return descending ? result > 0 : result < 0;
    });
    QList<TQuickFileRow> sorted;
    sorted.reserve(rows.size());
    std::vector<int> newPosition(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.append(rows.at(order[i]));
        newPosition[size_t(order[i])] = int(i);
    }
    rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before)
        after << index(newPosition[size_t(old.row())], old.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TQuickFileModel::SetHeaderTexts(const QStringList &texts)
{
    for (int column = 0; column < ColumnCount && column < texts.size(); ++column)
        headers[column] = texts.at(column);
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void TQuickFileModel::SetCaptionsEditable(bool value)
{
    editable = value;
}

int TQuickFileModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int TQuickFileModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TQuickFileModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return {};
    const TQuickFileRow &row = rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case ColName:
            return row.Caption;
        case ColSize:
            return row.SizeText;
        case ColDate:
            return row.DateText;
        case ColType:
            return row.TypeText;
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() != ColName)
            return {};
        return row.IsDirectory() ? FolderIcon() : FileIconForName(row.Caption);
    case Qt::TextAlignmentRole:
        if (index.column() == ColSize)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return {};
    case SizeRole:
        return row.Size();
    case IsDirectoryRole:
        return row.IsDirectory();
    case IsLinkRole:
        return row.Data && row.Data->IsLink;
    case DateTimeRole:
        return row.Data ? row.Data->DateTime : QDateTime();
    default:
        return {};
    }
}

bool TQuickFileModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != ColName || index.row() >= rows.size())
        return false;
    if (!(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString caption = value.toString();
    const QString old = rows.at(index.row()).Caption;
    // An empty name names nothing, and an unchanged one asks nothing.
    if (caption.isEmpty() || caption == old)
        return false;
    rows[index.row()].Caption = caption;
    emit dataChanged(index, index);
    emit CaptionEdited(index.row(), old, caption);
    return true;
}

QVariant TQuickFileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return headers.at(section);
    if (role == Qt::TextAlignmentRole && section == ColSize)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags TQuickFileModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (editable && index.column() == ColName && index.row() < rows.size() && !rows.at(index.row()).IsParent())
        result |= Qt::ItemIsEditable;
    return result;
}
