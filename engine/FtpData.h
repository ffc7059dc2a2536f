#pragma once
// One remote directory entry and the list that carries entries between the
// parser, the listing cache, the client and the views. Every field stays the
// text the listing gave; only sorting interprets sizes and dates.

#include <QString>
#include <QStringView>

#include <memory>

struct VexFtpFileInfo {
    QString Attrib;
    QString DateTime;
    QString Description;
    QString FileName;
    QString Size;
    QString SymbolLink;
    QString Owner;
    QString Group;
};

// Columns of TVexFtpFileInfoList. colFileType has no storage: it only
// selects sorting by the file type name of FileName.
enum FileInfoColumn : int {
    colAttrib = 0,
    colDateTime = 1,
    colSize = 2,
    colSymbolLink = 3,
    colDescription = 4,
    colName = 5,
    colOwner = 6,
    colGroup = 7,
    colFileType = 8
};

// A fixed-width key ("yyyymmddhhmm", 24-hour clock) that orders every date
// text a DateTime field may hold: "1/5/2003 9:05 AM", "01/05/2003 09:05",
// "01/20/03 10:23 AM" and "1/1/80 12:00". Unreadable parts count as 0.
QString DateSortKey(QStringView dateTime);

// Entries stored column by column. Indexes run from 0 to Count() - 1; an index
// outside that range given to GetInfo, SetColumn or Exchange throws
// std::out_of_range ("List index out of bounds (i)").
class TVexFtpFileInfoList {
public:
    TVexFtpFileInfoList();
    TVexFtpFileInfoList(const TVexFtpFileInfoList &other);
    TVexFtpFileInfoList &operator=(const TVexFtpFileInfoList &other);
    ~TVexFtpFileInfoList();

    int Count() const;

    void Add(const QString &fileName, const QString &attrib, const QString &dateTime,
             const QString &size, const QString &symbolLink, const QString &owner,
             const QString &group, const QString &description);
    void AddInfo(const VexFtpFileInfo &info);
    // Clear, then a copy of every entry of other in its order (sort keys empty).
    void Assign(const TVexFtpFileInfoList &other);
    void Clear();
    // Empties one stored column (colAttrib to colGroup) in every entry.
    void ClearColumn(FileInfoColumn column);
    void Exchange(int index1, int index2);
    // Lowest index whose FileName equals name under CompareTextLocale, or -1.
    int IndexOfName(const QString &name) const;
    void GetInfo(int index, VexFtpFileInfo &info) const;
    void SetColumn(int index, FileInfoColumn column, const QString &text);
    // Unstable quicksort of whole entries. Sizes compare as 64-bit integers (a
    // text that is not one counts as 0), dates by DateSortKey, links by their
    // text, every other column with CompareTextLocale.
    void Sort(FileInfoColumn column, bool ascending);

private:
    struct Columns;
    std::unique_ptr<Columns> d;
};
