// The archive to delete after its transfer, as the window holds it.

#include "WindowArchive.h"

#include "ArchiveNaming.h"
#include "ZipEngine.h"

#include <QCheckBox>

TWindowArchive::TWindowArchive(const QCheckBox &effacerarchive, TZipEngine &engine) : box(effacerarchive), engine(engine) {}

bool TWindowArchive::DeleteAfterTransfer() const
{
    return box.isChecked();
}

QString TWindowArchive::ZipName() const
{
    return engine.ZipName();
}

void TWindowArchive::ClearZipName()
{
    engine.SetZipName(QString());
}

QString TWindowArchive::DeleteQuestion(const QString &zipName) const
{
    return DeleteArchiveQuestion(zipName);
}
