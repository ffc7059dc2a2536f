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

// The answers to needFileExists that the client acts on. An empty answer
// counts as Overwrite; anything else (Cancel is what an owner sends) skips
// the file.
namespace FtpAnswer {
inline const QString Resume = QStringLiteral("Resume");
inline const QString Overwrite = QStringLiteral("Overwrite");
inline const QString Cancel = QStringLiteral("Cancel");
}

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

// Error texts that name what failed. %1 is a file or folder name unless
// said otherwise; a server's reply line is quoted as it came.
inline const QString NoLocalName = QStringLiteral("Aucun nom de fichier local n'a été donné");
inline const QString NoRemoteName = QStringLiteral("Aucun nom de fichier distant n'a été donné");
inline const QString LineBreakInName = QStringLiteral("Nom refusé, il contient un saut de ligne : « %1 »");
inline const QString LocalCreateFailed = QStringLiteral("Impossible de créer le fichier local « %1 »");
inline const QString LocalOpenFailed = QStringLiteral("Impossible d'ouvrir le fichier local « %1 »");
inline const QString LocalWriteFailed =
    QStringLiteral("Impossible d'écrire dans le fichier local « %1 » (disque plein ou erreur d'écriture)");
inline const QString LocalReadFailed = QStringLiteral("Impossible de lire le fichier local « %1 »");
// %1 the command as sent, %2 the file or folder, %3 the reply
inline const QString CommandRefusedFor = QStringLiteral("Commande « %1 » refusée pour « %2 » : %3");
// %1 the command as sent, %2 the reply
inline const QString CommandRefused = QStringLiteral("Commande « %1 » refusée : %2");
inline const QString PasvUnusable = QStringLiteral("Réponse au mode passif inutilisable pour « %1 » : %2");
inline const QString NoLocalPort = QStringLiteral("Impossible d'ouvrir un port local pour la connexion de données de « %1 »");
inline const QString DataConnectionFailed = QStringLiteral("Connexion de données impossible pour « %1 »");
inline const QString DataConnectionLost = QStringLiteral("Connexion de données perdue pendant le transfert de « %1 »");
// %1 the file, %2 the bytes the file holds, %3 the size the server announced
inline const QString ShortDownload = QStringLiteral("Transfert incomplet de « %1 » : %2 octets reçus sur %3 annoncés");
// %1 the folder, %2 how many lines were kept
inline const QString ListingTooLong = QStringLiteral("Liste du dossier « %1 » trop longue, arrêtée après %2 lignes");
inline const QString Interrupted = QStringLiteral("Interrompu avant la fin, connexion fermée : « %1 »");
inline const QString ServerRefusedReply = QStringLiteral("Le serveur a refusé la connexion : %1");
inline const QString LoginRefusedReply = QStringLiteral("Identification refusée par le serveur : %1");
inline const QString QuitRefusedReply = QStringLiteral("Le serveur a refusé de fermer la session : %1");
inline const QString NoServer = QStringLiteral("Aucun serveur n'a été indiqué");
inline const QString FolderRefused = QStringLiteral("Impossible d'entrer dans le dossier « %1 » : %2");
inline const QString UnexpectedSocketError =
    QStringLiteral("Erreur inattendue interne au composant (Code Erreur WinSock: %1)");
}

// The engine default for an info raised without a text (empty when none).
QString FtpInfoDefaultText(FtpInfo info);

// The text of an error raised without one: every error carries a text.
QString FtpErrorDefaultText(FtpError error);

// Maps a socket error (WinSock number) to the client's error and its text.
// Returns false for 0 and for the codes the client ignores (10038, 10057).
bool FtpErrorFromSocketError(quint16 code, FtpError *error, QString *text);
