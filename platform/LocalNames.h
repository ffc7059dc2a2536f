#pragma once
// The name a remote entry takes in the local folder, and the rule that keeps
// every file a transfer writes inside that folder. Every command that fetches
// remote files into the local folder (the explorer's download, the
// comparison's updates, the scheduler's runs) goes through it. QtCore only.
//
// The local name is the part of the remote name after its last "/" or "\"
// (servers use either as a separator). It is refused when it is empty, "."
// or "..", or holds a NUL character: it would then name the folder itself,
// its parent, or no file at all. What is left can hold no separator, so the
// local path never leaves the local folder.

#include <QString>
#include <optional>

// The local name of remoteName, or nothing when it is refused.
std::optional<QString> LocalNameOf(const QString &remoteName);
// localFolder followed by the local name of remoteName ("/" is put between
// them when localFolder lacks it), or nothing when the name is refused.
std::optional<QString> LocalPathOf(const QString &localFolder, const QString &remoteName);
// What a download says of a remote name it refuses.
QString UnusableLocalNameText(const QString &remoteName);
