// A small console program: logs in to an FTP server, lists the starting
// folder and prints the whole protocol dialogue as the client reports it.
//
//   velmar-console HOST [PORT] [USER] [PASSWORD]

#include "Ftp.h"
#include "FtpData.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
QTextStream out(stdout);

QString Trimmed(QString text)
{
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: velmar-console HOST [PORT] [USER] [PASSWORD]\n";
        return 2;
    }

    TVexFtp ftp;
    ftp.SetServer(args.at(1));
    if (args.size() > 2)
        ftp.SetPort(quint16(args.at(2).toUInt()));
    if (args.size() > 3)
        ftp.SetUsername(args.at(3));
    if (args.size() > 4)
        ftp.SetPassword(args.at(4));
    ftp.SetPassive(true);
    ftp.SetRetries(0);
    ftp.SetCache(false);

    int exitCode = 1;
    ftp.OnFtpInfo = [](TVexFtp *, FtpInfo info, const QString &text) {
        switch (info) {
        case ftpiCommand: out << "> " << Trimmed(text) << '\n'; break;
        case ftpiReceived:
            if (!text.isEmpty())
                out << Trimmed(text) << '\n';
            break;
        case ftpiProgress:
        case ftpiEntryFound:
            break;
        default:
            if (!text.isEmpty())
                out << "* " << text << '\n';
        }
        out.flush();
    };
    ftp.OnFtpError = [](TVexFtp *, FtpError error, const QString &text) {
        out << "! erreur " << int(error) << (text.isEmpty() ? QString() : QLatin1String(" : ") + text) << '\n';
        out.flush();
    };
    ftp.OnLoggedIn = [](TVexFtp *client) { client->ListDirectory(); };
    ftp.OnListingDone = [&exitCode](TVexFtp *client) {
        out << "* " << client->Directories().Count() << " dossier(s), " << client->Files().Count()
            << " fichier(s) dans " << client->CurrentDirectory() << '\n';
        exitCode = 0;
        client->Close();
    };
    ftp.OnFtpQuit = [](TVexFtp *) { QCoreApplication::exit(); };

    ftp.Login();
    app.exec();
    return exitCode;
}
