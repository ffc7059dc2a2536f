#pragma once
// The quick explorer panel's own texts, French as the user reads them (a few
// connection errors keep their English words). Messages are formats for
// FormatQuickMessage ("%s", "%N:s"); every one of them passes through the
// panel's OnLocalize hook before it is formatted.

#include <QString>

namespace QuickPanelTexts {

// Connection.
inline const QString NotConnected = QStringLiteral("Non connecté");
inline const QString ConnectingAs = QStringLiteral("Connecté à %0:s en qualité de %1:s");
inline const QString MainFolder = QStringLiteral("Répertoire principal: %0:s");
inline const QString ConnectFailed = QStringLiteral("Impossible de se connecter à to %0:s");
inline const QString LoggedIn = QStringLiteral("%0:s connecté à %1:s");
inline const QString Disconnecting = QStringLiteral("Déconnexion de %0:s");
inline const QString Disconnected = QStringLiteral("%0:s déconnecté de %1:s");
inline const QString HostMissing = QStringLiteral("HostName must be specified");
inline const QString LoginMissing = QStringLiteral("LoginName must be specified");
// The password box: caption "Login to " + host, label "Password for " + user.
inline const QString PasswordCaption = QStringLiteral("Login to ");
inline const QString PasswordLabel = QStringLiteral("Password for ");

// Listing.
inline const QString NoCurrentFolder = QStringLiteral("Impossible d'obtenir le répertoire courant");
inline const QString ListingStarted = QStringLiteral("Transfert de données en cours: %0:s");
inline const QString ListingDone = QStringLiteral("Transfert de données complété: (%0:s bytes de %1:s files)");
// A listing that could not be read whole (cut off, timed out, too large):
// it is not reported as complete.
inline const QString ListingFailed = QStringLiteral("Impossible de lire le contenu du répertoire %0:s");

// Opening entries and downloads.
inline const QString CannotEnter = QStringLiteral("Impossible d'accéder au répertoire %0:s");
inline const QString OverwriteLocal = QStringLiteral("Le fichier local  \"%0:s\" existe déjà, l'écraser?");
inline const QString FileCopied = QStringLiteral("Fichier copié  \"%0:s\" (%1:s bytes)");
// A download that failed without a server reply to show.
inline const QString DownloadFailed = QStringLiteral("Impossible de copier le fichier \"%0:s\"");
// The caption of the default save dialog.
inline const QString SaveAs = QStringLiteral("Enregistrer sous");

// Deleting, creating, renaming.
inline const QString DeleteFolderQuestion = QStringLiteral("Supprimer le répertoire \"%0:s\" ?");
inline const QString DeleteFileQuestion = QStringLiteral("Supprimer le fichier \"%0:s\" ?");
inline const QString DeleteManyQuestion = QStringLiteral("Supprimer les %0:s fichiers sélectionnés?");
inline const QString DeleteFailed = QStringLiteral("Impossible de supprimer le fichier \"%0:s\" (Win32 Error %1:s)");
inline const QString NoConnection = QStringLiteral("Pas de connexion à l'hôte.");
// A folder that could not be created without a server reply to show.
inline const QString CreateFolderFailed = QStringLiteral("Impossible de créer le répertoire \"%0:s\"");
inline const QString NewFolderCaption = QStringLiteral("Nouveau répertoire");
inline const QString NewFolderLabel = QStringLiteral("Nom du répertoire:");
inline const QString RenameFailed = QStringLiteral("Impossible de renommer \"%0:s\" (Win32 Error %1:s)");

// Uploads.
inline const QString TransferBusy = QStringLiteral("Téléchargement du fichier en cours!");
inline const QString UploadStarted = QStringLiteral("transfert \"%0:s\"");
inline const QString UploadComplete = QStringLiteral("Téléchargement complet");
// The worker's uploads cut short by the end of the connection: they are not
// reported complete.
inline const QString UploadInterrupted = QStringLiteral("Téléchargement interrompu : la connexion a été fermée");
// A single upload that failed without a server reply to show.
inline const QString UploadFailed = QStringLiteral("Impossible d'envoyer le fichier \"%0:s\"");

// Transfer type.
inline const QString TransferTypeSet = QStringLiteral("Type de transfert %0:s");
inline const QString AsciiName = QStringLiteral("ASCII");
inline const QString BinaryName = QStringLiteral("binary");

// Captions of the message boxes shown when the owner has no hook.
inline const QString ErrorCaption = QStringLiteral("Erreur");
inline const QString ConfirmCaption = QStringLiteral("Confirmation");

// Columns of both lists.
inline const QString ColumnName = QStringLiteral("Nom");
inline const QString ColumnSize = QStringLiteral("Taille");
inline const QString ColumnDate = QStringLiteral("Date");
inline const QString ColumnType = QStringLiteral("Type");

// The pop-up menu.
inline const QString MenuOpen = QStringLiteral("Ouvrir");
inline const QString MenuCopy = QStringLiteral("Copier");
inline const QString MenuDelete = QStringLiteral("Effacer");
inline const QString MenuRename = QStringLiteral("Renommer");
inline const QString MenuNewFolder = QStringLiteral("Nouveau répertoire");
inline const QString MenuView = QStringLiteral("Voir");
inline const QString MenuLargeIcons = QStringLiteral("Grandes icones");
inline const QString MenuSmallIcons = QStringLiteral("Petites icones");
inline const QString MenuList = QStringLiteral("Liste");
inline const QString MenuDetails = QStringLiteral("Détails");
inline const QString MenuSort = QStringLiteral("Tri");
inline const QString MenuSortName = QStringLiteral("par Nom");
inline const QString MenuSortSize = QStringLiteral("par Taille");
inline const QString MenuSortDate = QStringLiteral("par Date");
inline const QString MenuSortType = QStringLiteral("par Type");
inline const QString MenuTransferType = QStringLiteral("Type de Transfert");
inline const QString MenuAscii = QStringLiteral("ASCII");
inline const QString MenuBinary = QStringLiteral("Binary");
inline const QString MenuRefresh = QStringLiteral("Actualiser");
inline const QString MenuParent = QStringLiteral("Retour");

} // namespace QuickPanelTexts
