#pragma once
// TUpdateTab: the tab "    &Mise à jour" (the page TabSheet3), where the
// comparison of a local folder with a remote folder shows its proposals: the
// current remote and local folder labels (repencours, replocal) and the list
// miseajour ("Nom", "Action"). The tab is disabled at start; the comparison
// itself comes with the tool.

#include <QWidget>

class QLabel;
class QTreeWidget;
class TAppContext;

class TUpdateTab : public QWidget
{
    Q_OBJECT
public:
    TUpdateTab(TAppContext &context, QWidget *parent = nullptr);

    QLabel *repencours() const { return remoteFolderLabel; }
    QLabel *replocal() const { return localFolderLabel; }
    QTreeWidget *miseajour() const { return list; }

    // "Répertoire distant en cours: " and the part of the client's current
    // folder after its last "/" (the whole text when it has none).
    void ShowRemoteFolder(const QString &currentDirectory);

private:
    TAppContext &context;
    QLabel *remoteFolderLabel = nullptr;
    QLabel *localFolderLabel = nullptr;
    QTreeWidget *list = nullptr;
};
