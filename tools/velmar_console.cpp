// A small console program: logs in to an FTP server and prints the protocol
// dialogue. Used by the README's run command until the main window exists.
#include "EngineVersion.h"
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << EngineVersionText() << '\n';
    return 0;
}
