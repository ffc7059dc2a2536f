// The archive to delete after its transfer, as the window holds it.

#include "WindowArchive.h"

#include "ArchiveNaming.h"
#include "ZipTask.h"

#include <QCheckBox>

TWindowArchive::TWindowArchive(const QCheckBox &effacerarchive, TZipTask &task) : box(effacerarchive), task(task) {}

bool TWindowArchive::DeleteAfterTransfer() const
{
    return box.isChecked();
}

QString TWindowArchive::ZipName() const
{
    return task.Running() ? QString() : task.Engine().ZipName();
}

void TWindowArchive::ClearZipName()
{
    if (!task.Running())
        task.Engine().SetZipName(QString());
}

QString TWindowArchive::DeleteQuestion(const QString &zipName) const
{
    return DeleteArchiveQuestion(zipName);
}
