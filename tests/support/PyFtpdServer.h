#pragma once
// PyFtpdServer: a real FTP server (pyftpdlib, run by VELMAR_PYTHON) on
// 127.0.0.1 at a free port, serving a temporary root folder that is removed
// with the fixture.
//
// Logins: anonymous (any password, home = root, permissions "elradfmwMT" so
// that uploads work) and DefaultUser / DefaultPassword (same root, same
// permissions), plus any AddUser() before Start(). Passive mode answers with
// 127.0.0.1; active mode (PORT to 127.0.0.1) is allowed. A wrong password is
// answered at once, without pyftpdlib's usual delay.
//
//   if (!PyFtpdServer::Available())
//       QSKIP(PyFtpdServer::UnavailableMessage());
//   PyFtpdServer server;
//   server.AddUser("alice", "pw", "alice");           // home = root/alice
//   QVERIFY(QDir(server.RootPath()).mkpath("pub"));
//   QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
//   ... connect the client to server.Host(), server.Port() ...
//   if (QTest::currentTestFailed()) qWarning().noquote() << server.StandardError();
//
// The server process stops with the fixture, and also when the test program
// dies (parent-death signal, and end of file on its standard input).
// Starting blocks (bounded by the timeout) until the server has sent "220".

#include <QByteArray>
#include <QString>
#include <memory>

class PyFtpdServer
{
public:
    static constexpr const char *DefaultUser = "velmar";
    static constexpr const char *DefaultPassword = "s3cret";
    static constexpr const char *FullPermissions = "elradfmwMT";

    PyFtpdServer();
    ~PyFtpdServer();
    PyFtpdServer(const PyFtpdServer &) = delete;
    PyFtpdServer &operator=(const PyFtpdServer &) = delete;

    // Before Start(). homeSubfolder is relative to the root ("" = the root)
    // and is created when missing; it may not leave the root.
    void AddUser(const QString &name, const QString &password, const QString &homeSubfolder = {},
                 const QString &permissions = QString::fromLatin1(FullPermissions));
    // The text after "220 " in the welcome line (pyftpdlib's own otherwise).
    void SetBanner(const QString &banner);
    // An empty text turns anonymous login off.
    void SetAnonymousPermissions(const QString &permissions);
    // Logs every command and reply to StandardError().
    void SetVerbose(bool on);

    bool Start(int timeoutMs = 15000);
    void Stop();
    bool Running() const;

    QString Host() const;   // "127.0.0.1"
    quint16 Port() const;   // 0 until started
    qint64 ProcessId() const;
    // The folder served; it exists from construction, so files can be put
    // there before or after Start().
    QString RootPath() const;
    QString ErrorString() const;
    // What the server wrote on stderr so far (warnings, tracebacks, the verbose log).
    QByteArray StandardError() const;

    // Whether VELMAR_PYTHON can import pyftpdlib (checked once per program).
    static bool Available();
    static const char *UnavailableMessage();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
