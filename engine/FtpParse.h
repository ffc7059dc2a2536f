#pragma once
// Turns one line of a LIST reply into a directory entry. The dialect follows
// the server type; EPLF lines are recognised whatever the type.

#include "FtpData.h"
#include "FtpTypes.h"

#include <QString>
#include <QStringView>

// What the lines of one listing share: a VMS entry whose name fills its whole
// line waits here for the line that carries its details. Each listing (and so
// each client) owns its own; reset it when a listing starts.
struct TVexFtpListState {
    QString PendingVmsLine;
    // The last permission, owner and group texts given out: the next line
    // that has the same one shares its text instead of holding a copy, so a
    // folder of a million entries keeps a handful of these.
    QString LastAttrib;
    QString LastOwner;
    QString LastGroup;
    void Reset()
    {
        PendingVmsLine.clear();
        LastAttrib.clear();
        LastOwner.clear();
        LastGroup.clear();
    }
};

// The words of FileLinkMarks: a link whose lower-case text holds one of them
// points to a file, any other link to a folder.
extern const QStringView FileLinkMarks[7];

// Returns whether line is an entry. When it is, entry receives the fields the
// dialect names (the others, and Description, are empty) and isDirectory says
// which list the entry belongs to. A rejected line leaves entry cleared.
// Any text of any length is accepted or rejected; nothing is thrown.
// Names are kept as the server wrote them, blanks at either end included:
// they are what RETR, CWD and DELE must send back.
bool ParseListLine(TVexFtpServerType serverType, QStringView line, TVexFtpListState &state,
                   VexFtpFileInfo &entry, bool &isDirectory);
