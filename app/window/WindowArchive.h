#pragma once
// The window's side of the archive that the compress commands leave: the
// settings' check box "&Effacer l'archive après transfert" and the zip
// engine's archive name, as the explorer's remote refresh asks for them.

#include "SentArchive.h"

class QCheckBox;
class TZipEngine;

class TWindowArchive : public TSentArchive
{
public:
    TWindowArchive(const QCheckBox &effacerarchive, TZipEngine &engine);

    bool DeleteAfterTransfer() const override;
    QString ZipName() const override;
    void ClearZipName() override;
    QString DeleteQuestion(const QString &zipName) const override;

private:
    const QCheckBox &box;
    TZipEngine &engine;
};
