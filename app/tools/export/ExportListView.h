#pragma once
// TExportListView: the action that writes a list view to a tab-separated
// ".XLS" text file which spreadsheet programs open as a table. Widget-free:
// it writes a TListViewTable and hands its messages to its owner, which
// shows them (and the busy cursor) to the user.
//
// The file: an optional header line (every column caption followed by one
// TAB), then one line per row (the caption and the sub-items of the other
// columns, separated by single TABs), every line ending with CR LF, UTF-8.
// It is written under a temporary name in the same folder and renamed over
// the target once complete: whole or not at all.

#include "ListViewTable.h"

#include <QString>
#include <functional>

enum class TExportStatus {
    Saved,
    NoFileName,      // "Pas de nom donné au fichier!"
    NothingToExport, // a list without rows: nothing written, nothing said
    WriteFailed,
};

struct TExportResult {
    TExportStatus Status = TExportStatus::NothingToExport;
    QString FileName; // the file written (or that could not be)
    QString Message;  // for the user; empty when nothing is to be said

    bool IsError() const { return Status == TExportStatus::NoFileName || Status == TExportStatus::WriteFailed; }
};

class TExportListView
{
public:
    TExportListView();

    // The action's texts on the main window.
    static QString Caption();  // "&Export en XLS"
    static QString Hint();     // "Exporter vers Excel "
    static QString Category(); // "ListView"

    // The list the action is bound to (a copy; cleared with ClearListView).
    const TListViewTable &ListView() const;
    void SetListView(const TListViewTable &table);
    void ClearListView();

    // The target file; its extension is changed to ".XLS" when writing.
    QString DATFileName() const;
    void SetDATFileName(const QString &fileName);

    // Whether a header line of the column captions comes first (default true).
    bool WithHeader() const;
    void SetWithHeader(bool withHeader);

    // Writes table to DATFileName (see above). The result's message is also
    // handed to OnMessage.
    TExportResult Export(const TListViewTable &table);
    // Writes the bound list.
    TExportResult Execute();

    // The text the file holds for table (header when WithHeader).
    QByteArray FileText(const TListViewTable &table) const;

    // The file name DATFileName gives: its extension changed to ".XLS".
    static QString XlsFileName(const QString &fileName);

    std::function<void(const QString &message, bool isError)> OnMessage;

private:
    TListViewTable listView;
    QString datFileName;
    bool withHeader = true;
};
