#pragma once
// Short French reasons for the system's file errors (errno values), as the
// program's messages give them after the name of the file that failed:
// "Impossible de lire le fichier /x : accès refusé".

#include <QString>

QString SystemErrorReason(int error);
