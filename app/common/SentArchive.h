#pragma once
// TSentArchive: the archive that the compress commands leave behind, as the
// remote refresh of the explorer tab sees it. After a transfer (and at every
// other remote refresh) the refresh offers to delete it when the settings
// ask for that ("&Effacer l'archive après transfert"). The part of the
// window that owns the zip engine implements it and gives it to the context.

#include <QString>

class TSentArchive
{
public:
    virtual ~TSentArchive() = default;
    // "&Effacer l'archive après transfert" is checked.
    virtual bool DeleteAfterTransfer() const = 0;
    // The zip engine's archive name (empty when it holds none).
    virtual QString ZipName() const = 0;
    // Forgets the archive name.
    virtual void ClearZipName() = 0;
    // The question asked before deleting zipName.
    virtual QString DeleteQuestion(const QString &zipName) const = 0;
};
