#include "AppFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString chosenFolder;
}

void InitApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Velmar"));
}

QString ChooseFilesFolder(const QString &executableFolder)
{
    const QFileInfo info(executableFolder);
    if (!executableFolder.isEmpty() && info.isDir() && info.isWritable())
        return QDir::cleanPath(info.absoluteFilePath());
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(perUser);
    return QDir::cleanPath(perUser);
}

QString FilesFolder()
{
    if (chosenFolder.isEmpty())
        chosenFolder = ChooseFilesFolder(QCoreApplication::applicationDirPath());
    return chosenFolder;
}

QString FilePathInFilesFolder(const QString &fileName)
{
    return FilesFolder() + QLatin1Char('/') + fileName;
}

QString HelpFilePath()
{
    const QString besideProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/aide.html");
    if (QFileInfo::exists(besideProgram))
        return besideProgram;
    return FilePathInFilesFolder(QStringLiteral("aide.html"));
}

void SetFilesFolderForTesting(const QString &folder)
{
    chosenFolder = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}
