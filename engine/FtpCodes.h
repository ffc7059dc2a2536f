#pragma once
// The codes through which the client reports everything: notifications,
// errors, questions to its owner, and the kinds for which views register.

#include <QString>

enum FtpInfo {
    ftpiConnected = 0,
    ftpiDisconnected = 1,
    ftpiResolving = 2,
    ftpiReceived = 3,
    ftpiCommand = 4,
    ftpiBusy = 5,
    ftpiResumeSupported = 6,
    ftpiDebug = 7,
    ftpiProgress = 8,
    ftpiTransferDone = 10,
    ftpiListingDataDone = 11,
    ftpiLoggedIn = 12,
    ftpiTransferSize = 13,
    ftpiListingStarted = 14,
    ftpiEntryFound = 15,
    ftpiMultiLineReply = 16,
    ftpiResumeUnavailable = 17,
    ftpiRetrying = 18,
    ftpiResolved = 19,
    ftpiNothingToDo = 20,
    ftpiRetriesExhausted = 21,
};

enum FtpError {
    ftpeNone = -1, // no error recorded; never raised
    ftpeQuitRefused = 0,
    ftpeNetworkDown = 1,
    ftpeInvalidAddress = 2,
    ftpeInternal = 3,
    ftpeWinSockGeneral = 4,
    ftpeConnectionAborted = 5,
    ftpeConnectionReset = 6,
    ftpeTimedOut = 7,
    ftpeNoSockets = 8,
    ftpeNetworkUnreachable = 9,
    ftpeAddressUnreachable = 10,
    ftpeConnectionRefused = 11,
    ftpeCommandFailed = 12,
    ftpeCannotResolve = 15,
    ftpeHostUnreachable = 17,
    ftpeNoServer = 18,
    ftpeLocalFileOpen = 20,
    ftpeLocalFileWrite = 21,
    ftpeLocalFileRead = 22,
    ftpeBadRemoteName = 23,
    ftpeServerRefused = 25,
    ftpeLoginRefused = 26,
    ftpeDataConnection = 27,
    ftpeResumeRefused = 28,
    ftpeAccessDenied = 29,
    ftpeBadUrl = 30,
};

enum TVexFtpInfoNeeded {
    needAccount = 0,
    needServer = 1,
    needLocalFileName = 2,
    needFileExists = 3,
    needPassword = 4,
    needUsername = 5,
};

enum TVexFtpNotifyKind {
    nkDirectoryChanged = 1,
    nkDirectoryCreated = 2,
    nkDirectoryDeleted = 3,
    nkFileDeleted = 4,
    nkFileReceived = 5,
    nkFileRenamed = 6,
    nkFileStored = 7,
    nkFtpQuit = 8,
    nkFtpReady = 9,
    nkListingDone = 10,
    nkLoggedIn = 11,
    nkFtpBusy = 12,
};
constexpr int FirstNotifyKind = nkDirectoryChanged;
constexpr int LastNotifyKind = nkFtpBusy;

enum TVexFtpProxyType {
    proxyNone,
    proxyHost,
    proxyHostUser,
    proxyOpen,
    proxySite,
    proxyUserSite,
};

enum TVexFtpTransferType {
    AsciiTransfer,
    BinaryTransfer,
};

// Texts the client attaches itself.
namespace FtpText {
inline const QString Disconnected = QStringLiteral("Déconnecté");
inline const QString NotConnected = QStringLiteral("Non connecté au serveur");
inline const QString Busy = QStringLiteral("Le composant est occupé");
inline const QString ResumeSupported = QStringLiteral("Ce site permet de reprendre les téléchargements incomplets");
inline const QString ResumeUnavailable = QStringLiteral("Ce site ne permet pas reprendre les téléchargements incomplets");
inline const QString ResumeWillOverwrite = QStringLiteral("Le téléchargement ne peut être repris, le fichier va être écrasé...");
inline const QString LoggedIn = QStringLiteral("Connecté");
inline const QString Retrying = QStringLiteral("Réessaie...");
inline const QString NothingToDo = QStringLiteral("Désole, mais je n'ai rien à faire...");
inline const QString RetriesExhausted = QStringLiteral("Retry Finished");
inline const QString MaskedPass = QStringLiteral("PASS (pas besoin de le savoir) :-P\r\n");
inline const QString ClientTimedOut = QStringLiteral("Connection timed out");
inline const QString AccessDenied = QStringLiteral("Accès refusé ou fichier non trouvé");
inline const QString DownloadResumeRefused = QStringLiteral("Impossible de reprendre le téléchargement du fichier");
inline const QString UploadResumeRefused = QStringLiteral("Impossible de reprendre la transmission du fichier");
inline const QString UrlBadScheme = QStringLiteral("Le protocole n'est pas supporté");
inline const QString UrlBadSyntax = QStringLiteral("Syntaxe invalide");
inline const QString UrlUnexpected = QStringLiteral("Une erreur inattendue s'est produite lors de la décomposition de l'URL");
inline const QString EntryFile = QStringLiteral("File");
inline const QString EntryFolder = QStringLiteral("Folder");
}

// The engine default for an info raised without a text (empty when none).
QString FtpInfoDefaultText(FtpInfo info);

// Maps a socket error (WinSock number) to the client's error and its text.
// Returns false for 0 and for the codes the client ignores (10038, 10057).
bool FtpErrorFromSocketError(quint16 code, FtpError *error, QString *text);
