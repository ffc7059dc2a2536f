// Adds a site to the connection profiles of a Velmar program, or updates the
// profile of the same name; every other profile stays as it is. The file is
// the velmar.ini that this program finds beside the given executable (or in
// the per-user data folder when that folder is not writable).
//
//   velmar-profile VELMAR_EXECUTABLE NAME HOST PORT USER PASSWORD [BASE_FOLDER]

#include "AppFiles.h"
#include "SiteProfiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    InitApplicationIdentity();
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 7 || args.size() > 8) {
        err << "usage: velmar-profile VELMAR_EXECUTABLE NAME HOST PORT USER PASSWORD [BASE_FOLDER]\n";
        return 2;
    }

    const QString folder = ChooseFilesFolder(QFileInfo(args.at(1)).absolutePath());
    const QString path = folder + QStringLiteral("/velmar.ini");

    SiteProfile profile;
    profile.name = args.at(2);
    profile.host = args.at(3);
    profile.port = args.at(4);
    profile.user = args.at(5);
    profile.password = args.at(6);
    profile.proxyFlag = QStringLiteral("0");
    profile.baseDirectory = args.size() > 7 ? args.at(7) : QString();

    TProfileFile file = ReadProfileFile(path);
    if (file.state == TProfileFileState::Unreadable) {
        err << "velmar-profile: " << path << " : " << file.error << '\n';
        return 1;
    }
    SetProfileByName(file.lines, profile);
    QString error;
    if (!WriteProfileFile(path, file.lines, &error)) {
        err << "velmar-profile: " << path << " : " << error << '\n';
        return 1;
    }
    QTextStream(stdout) << path << '\n';
    return 0;
}
