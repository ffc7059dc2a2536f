#pragma once
// The window's side of the archive that the compress commands leave: the
// settings' check box "&Effacer l'archive après transfert" and the zip
// engine's archive name, as the explorer's remote refresh asks for them.
// While the zip task builds an archive there is none to offer yet: the
// refresh then sees no name, and the engine is left alone on its thread.

#include "SentArchive.h"

class QCheckBox;
class TZipTask;

class TWindowArchive : public TSentArchive
{
public:
    TWindowArchive(const QCheckBox &effacerarchive, TZipTask &task);

    bool DeleteAfterTransfer() const override;
    QString ZipName() const override;
    void ClearZipName() override;
    QString DeleteQuestion(const QString &zipName) const override;

private:
    const QCheckBox &box;
    TZipTask &task;
};
