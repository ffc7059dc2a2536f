// The update tab's layout and its remote-folder label.

#include "UpdateTab.h"

#include "AppContext.h"
#include "WidgetHelpers.h"

#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

TUpdateTab::TUpdateTab(TAppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("TabSheet3"));
    auto *layout = new QVBoxLayout(this);
    remoteFolderLabel = Named(new QLabel(QStringLiteral("Répertoire distant en cours:"), this), "repencours");
    localFolderLabel = Named(new QLabel(QStringLiteral("Répertoire local en cours:"), this), "replocal");
    layout->addWidget(remoteFolderLabel);
    layout->addWidget(localFolderLabel);
    list = Named(new QTreeWidget(this), "miseajour");
    list->setHeaderLabels({QStringLiteral("Nom"), QStringLiteral("Action")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setColumnWidth(0, 140);
    list->setColumnWidth(1, 575);
    layout->addWidget(list, 1);
}

void TUpdateTab::ShowRemoteFolder(const QString &currentDirectory)
{
    remoteFolderLabel->setText(QStringLiteral("Répertoire distant en cours: ")
                               + currentDirectory.mid(currentDirectory.lastIndexOf(QLatin1Char('/')) + 1));
}
