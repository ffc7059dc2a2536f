#include "FtpData.h"

#include "FtpMisc.h"
#include "FileTypeNames.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int StoredColumnCount = 8;
// The shell's type descriptions are at most this long.
constexpr qsizetype TypeNameLimit = 80;

[[noreturn]] void ThrowIndexError(int index)
{
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Reads the digits at pos (none gives 0), saturating at limit, and moves pos
// past them and past one separator.
int ReadField(QStringView text, qsizetype &pos, int limit)
{
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = value * 10 + (text[pos].unicode() - u'0');
        if (value > limit)
            value = limit;
        ++pos;
    }
    if (pos < text.size())
        ++pos;
    return value;
}

// yyyymmddhhmm as a number; see DateSortKey.
qint64 DateSortValue(QStringView text)
{
    qsizetype blank = text.indexOf(u' ');
    QStringView date = blank < 0 ? text : text.left(blank);
    QStringView time = blank < 0 ? QStringView() : text.mid(blank + 1);

    qsizetype pos = 0;
    const int month = ReadField(date, pos, 99);
    const int day = ReadField(date, pos, 99);
    qsizetype yearStart = pos;
    int year = ReadField(date, pos, 9999);
    qsizetype yearDigits = 0;
    while (yearStart + yearDigits < date.size() && IsDigit(date[yearStart + yearDigits]))
        ++yearDigits;
    // Two-digit years (DOS-style listings, the unknown date) follow the usual
    // pivot: 70 to 99 are the 1900s.
    if (yearDigits > 0 && yearDigits <= 2)
        year += year < 70 ? 2000 : 1900;

    pos = 0;
    int hour = ReadField(time, pos, 99);
    const int minute = ReadField(time, pos, 99);
    for (qsizetype i = 0; i < time.size(); ++i) {
        const QChar c = time[i];
        if (c == u'A' || c == u'a' || c == u'P' || c == u'p') {
            const bool pm = c == u'P' || c == u'p';
            if (hour == 12)
                hour = pm ? 12 : 0;
            else if (pm && hour < 12)
                hour += 12;
            break;
        }
    }
    return ((((qint64(year) * 100 + month) * 100 + day) * 100 + hour) * 100) + minute;
}

QString FormatDateSortValue(qint64 value)
{
    QString key(12, u'0');
    for (int i = 11; i >= 0 && value > 0; --i) {
        key[i] = QChar(u'0' + int(value % 10));
        value /= 10;
    }
    return key;
}

// Strict decimal conversion; anything else (blanks, VMS "12/20", overflow)
// is 0 so that sorting by size always completes.
qint64 SizeValue(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return 0;
    quint64 value = 0;
    constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max());
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return 0;
        value = value * 10 + quint64(text[i].unicode() - u'0');
        if (value > limit)
            return 0;
    }
    return negative ? -qint64(value) : qint64(value);
}

} // namespace

namespace {

// The collation keys of a list's names, made by the first sort by name. Lists
// copied from one another share the block as long as their names stay in the
// same order, so the copy a view sorts at every refresh finds the keys made
// for the one before. A filled block never changes; a list whose names move
// or change takes a block of its own, or none.
// A column holds texts only up to its last non-empty one: the entries past
// its end are empty. Most listings leave the link, the description and the
// sort key empty, and a million empty texts still cost 24 MB each.
const QString &TextAt(const QStringList &column, int index)
{
    static const QString empty;
    return index < column.size() ? column[index] : empty;
}

// Makes the column reach count entries (count - 1 at least being asked for).
void PadTo(QStringList &column, int count)
{
    // Appending one by one keeps the list's geometric growth: an exact
    // reserve at every new entry would copy the whole column each time.
    while (column.size() < count)
        column.append(QString());
}

void PutText(QStringList &column, int index, const QString &text)
{
    if (text.isEmpty() && index >= column.size())
        return;
    PadTo(column, index + 1);
    column[index] = text;
}

struct NameKeyBlock {
    std::mutex lock;
    std::vector<TTextSortKey> keys; // empty until made, then one per entry
};

} // namespace

struct TVexFtpFileInfoList::Columns {
    // Indexed by FileInfoColumn (colAttrib to colGroup).
    std::array<QStringList, StoredColumnCount> stored;
    QStringList sortKeys;
    // Never null, so that copies share it from the start.
    std::shared_ptr<NameKeyBlock> nameKeys = std::make_shared<NameKeyBlock>();
    int count = 0;

    // The names have changed: keys made for the old ones go.
    void DropNameKeys()
    {
        if (nameKeys.use_count() == 1)
            nameKeys->keys.clear();
        else
            nameKeys = std::make_shared<NameKeyBlock>();
    }

    // The keys of the names in their present order, made now if need be.
    const std::vector<TTextSortKey> &NameKeys()
    {
        const std::lock_guard<std::mutex> guard(nameKeys->lock);
        std::vector<TTextSortKey> &keys = nameKeys->keys;
        if (keys.empty() && count > 0) {
            const QStringList &names = stored[colName];
            keys.reserve(size_t(count));
            for (int i = 0; i < count; ++i)
                keys.emplace_back(names[i]);
        }
        return keys;
    }

    // Keys that are there already, or null.
    const std::vector<TTextSortKey> *ExistingNameKeys() const
    {
        const std::lock_guard<std::mutex> guard(nameKeys->lock);
        return nameKeys->keys.empty() ? nullptr : &nameKeys->keys;
    }

    void CheckIndex(int index) const
    {
        if (index < 0 || index >= count)
            ThrowIndexError(index);
    }
};

TVexFtpFileInfoList::TVexFtpFileInfoList() : d(std::make_unique<Columns>()) {}

TVexFtpFileInfoList::TVexFtpFileInfoList(const TVexFtpFileInfoList &other)
    : d(std::make_unique<Columns>(*other.d))
{
}

TVexFtpFileInfoList &TVexFtpFileInfoList::operator=(const TVexFtpFileInfoList &other)
{
    if (this != &other)
        *d = *other.d;
    return *this;
}

TVexFtpFileInfoList::~TVexFtpFileInfoList() = default;

int TVexFtpFileInfoList::Count() const { return d->count; }

void TVexFtpFileInfoList::Add(const QString &fileName, const QString &attrib,
                              const QString &dateTime, const QString &size,
                              const QString &symbolLink, const QString &owner,
                              const QString &group, const QString &description)
{
    const int index = d->count;
    PutText(d->stored[colAttrib], index, attrib);
    PutText(d->stored[colDateTime], index, dateTime);
    PutText(d->stored[colSize], index, size);
    PutText(d->stored[colSymbolLink], index, symbolLink);
    PutText(d->stored[colDescription], index, description);
    PutText(d->stored[colName], index, fileName);
    PutText(d->stored[colOwner], index, owner);
    PutText(d->stored[colGroup], index, group);
    d->DropNameKeys();
    ++d->count;
}

void TVexFtpFileInfoList::AddInfo(const VexFtpFileInfo &info)
{
    Add(info.FileName, info.Attrib, info.DateTime, info.Size, info.SymbolLink, info.Owner,
        info.Group, info.Description);
}

void TVexFtpFileInfoList::Assign(const TVexFtpFileInfoList &other)
{
    if (this == &other) {
        d->sortKeys.clear();
        return;
    }
    d->stored = other.d->stored;
    d->nameKeys = other.d->nameKeys;
    d->count = other.d->count;
    d->sortKeys.clear();
}

void TVexFtpFileInfoList::Clear()
{
    for (QStringList &column : d->stored)
        column.clear();
    d->sortKeys.clear();
    d->DropNameKeys();
    d->count = 0;
}

void TVexFtpFileInfoList::ClearColumn(FileInfoColumn column)
{
    if (column < colAttrib || column > colGroup)
        return;
    if (column == colName)
        d->DropNameKeys();
    d->stored[column].clear();
}

void TVexFtpFileInfoList::Exchange(int index1, int index2)
{
    d->CheckIndex(index1);
    d->CheckIndex(index2);
    const int last = std::max(index1, index2);
    auto exchange = [&](QStringList &column) {
        if (index1 >= column.size() && index2 >= column.size())
            return; // both empty
        PadTo(column, last + 1);
        column.swapItemsAt(index1, index2);
    };
    for (QStringList &column : d->stored)
        exchange(column);
    exchange(d->sortKeys);
    if (index1 != index2)
        d->DropNameKeys();
}

int TVexFtpFileInfoList::IndexOfName(const QString &name) const
{
    const QStringList &names = d->stored[colName];
    for (int i = 0; i < d->count; ++i) {
        if (CompareTextLocale(TextAt(names, i), name) == 0)
            return i;
    }
    return -1;
}

void TVexFtpFileInfoList::GetInfo(int index, VexFtpFileInfo &info) const
{
    d->CheckIndex(index);
    info.Attrib = TextAt(d->stored[colAttrib], index);
    info.DateTime = TextAt(d->stored[colDateTime], index);
    info.Description = TextAt(d->stored[colDescription], index);
    info.FileName = TextAt(d->stored[colName], index);
    info.Size = TextAt(d->stored[colSize], index);
    info.SymbolLink = TextAt(d->stored[colSymbolLink], index);
    info.Owner = TextAt(d->stored[colOwner], index);
    info.Group = TextAt(d->stored[colGroup], index);
}

void TVexFtpFileInfoList::SetColumn(int index, FileInfoColumn column, const QString &text)
{
    d->CheckIndex(index);
    if (column < colAttrib || column > colGroup)
        return;
    if (column == colName)
        d->DropNameKeys();
    PutText(d->stored[column], index, text);
}

namespace {

// The quicksort works on an index permutation with the keys laid out for fast
// comparison; applying the permutation afterwards gives exactly the order
// that exchanging whole entries step by step would give.
template <typename Compare>
void QuickSort(std::vector<int> &order, int left, int right, const Compare &compare)
{
    // Recursing into the smaller part and looping on the larger keeps the
    // depth logarithmic; each part is sorted on its own, so the result does
    // not depend on which one goes first.
    while (left < right) {
        int i = left;
        int j = right;
        const int pivot = order[(unsigned(left) + unsigned(right)) / 2];
        do {
            while (i < right && compare(order[i], pivot) < 0)
                ++i;
            while (j > left && compare(order[j], pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(order[i], order[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - left < right - i) {
            if (left < j)
                QuickSort(order, left, j, compare);
            left = i;
        } else {
            if (i < right)
                QuickSort(order, i, right, compare);
            right = j;
        }
    }
}

template <typename Compare>
std::vector<int> SortedOrder(int count, bool ascending, const Compare &compare)
{
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[size_t(i)] = i;
    if (ascending)
        QuickSort(order, 0, count - 1, compare);
    else
        QuickSort(order, 0, count - 1, [&](int a, int b) { return -compare(a, b); });
    return order;
}

void Reorder(QStringList &column, const std::vector<int> &order)
{
    if (column.isEmpty())
        return; // every entry empty: nothing moves
    PadTo(column, int(order.size()));
    QStringList reordered;
    reordered.reserve(column.size());
    for (int from : order)
        reordered.append(std::move(column[from]));
    column = std::move(reordered);
}

} // namespace

void TVexFtpFileInfoList::Sort(FileInfoColumn column, bool ascending)
{
    const int count = d->count;
    if (count <= 1)
        return;

    // The comparisons read every entry of these columns.
    if (column == colFileType)
        PadTo(d->stored[colName], count);
    if (column >= colAttrib && column <= colGroup)
        PadTo(d->stored[column], count);

    std::vector<int> order;
    switch (column) {
    case colSize: {
        const QStringList &texts = d->stored[colSize];
        std::vector<qint64> values(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            values[size_t(i)] = SizeValue(texts[i]);
        // Two different texts of one value compare as "above" both ways, as
        // the strict conversion of the listing's texts always did.
        order = SortedOrder(count, ascending, [&](int a, int b) {
            const qint64 va = values[size_t(a)];
            const qint64 vb = values[size_t(b)];
            if (va != vb)
                return vb > va ? -1 : 1;
            return texts[a] == texts[b] ? 0 : 1;
        });
        break;
    }
    case colDateTime: {
        const QStringList &dates = d->stored[colDateTime];
        std::vector<qint64> values(static_cast<size_t>(count));
        PadTo(d->sortKeys, count);
        for (int i = 0; i < count; ++i) {
            values[size_t(i)] = DateSortValue(dates[i]);
            d->sortKeys[i] = FormatDateSortValue(values[size_t(i)]);
        }
        // The keys are fixed-width digit texts: their numeric order is their
        // text order.
        order = SortedOrder(count, ascending, [&](int a, int b) {
            const qint64 va = values[size_t(a)];
            const qint64 vb = values[size_t(b)];
            return va == vb ? 0 : (va < vb ? -1 : 1);
        });
        break;
    }
    case colFileType: {
        // A type name depends on the file name alone, so it is asked once
        // per entry rather than at every comparison.
        const QStringList &names = d->stored[colName];
        QStringList types;
        types.reserve(count);
        for (int i = 0; i < count; ++i)
            types.append(FileTypeName(names[i]).left(TypeNameLimit));
        order = SortedOrder(count, ascending, [&](int a, int b) {
            const QString &ka = types[a];
            const QString &kb = types[b];
            return ka == kb ? 0 : CompareTextLocale(ka, kb);
        });
        break;
    }
    case colName: {
        // One collation key per entry; comparing keys gives what comparing
        // the names with CompareTextLocale gives, so the order is the same.
        // Equal names have equal keys: no need to look at the names too.
        const std::vector<TTextSortKey> &keys = d->NameKeys();
        order = SortedOrder(count, ascending, [&](int a, int b) { return keys[size_t(a)].Compare(keys[size_t(b)]); });
        break;
    }
    case colAttrib:
    case colSymbolLink:
    case colDescription:
    case colOwner:
    case colGroup: {
        const QStringList &keys = d->stored[column];
        order = SortedOrder(count, ascending, [&](int a, int b) {
            const QString &ka = keys[a];
            const QString &kb = keys[b];
            return ka == kb ? 0 : CompareTextLocale(ka, kb);
        });
        break;
    }
    default:
        return;
    }

    for (QStringList &stored : d->stored)
        Reorder(stored, order);
    Reorder(d->sortKeys, order);
    // The names have moved: the keys follow them into a block of this list's
    // own, the shared one staying right for the lists it came from.
    if (const std::vector<TTextSortKey> *keys = d->ExistingNameKeys()) {
        auto moved = std::make_shared<NameKeyBlock>();
        moved->keys.reserve(keys->size());
        for (int from : order)
            moved->keys.push_back((*keys)[size_t(from)]);
        d->nameKeys = std::move(moved);
    } else {
        d->DropNameKeys();
    }
}

QString DateSortKey(QStringView dateTime)
{
    return FormatDateSortValue(DateSortValue(dateTime));
}
