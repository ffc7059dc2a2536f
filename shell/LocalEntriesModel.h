#pragma once
// What the local folder tree and the local file list show of the disk: a
// QFileSystemModel (which reads folders on its own thread and follows their
// changes) seen through a proxy that gives the program's icons, the French
// column titles and the type texts the program compares against: a folder's
// type is LocalFolderTypeName() ("Dossier de fichiers"), a file's the type
// name of its extension (FileTypeName).
//
// Columns, as QFileSystemModel numbers them: 0 name, 1 size, 2 type, 3 date.

#include <QDir>
#include <QIdentityProxyModel>

class QFileSystemModel;

class TLocalEntriesModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    enum Column { ColName = 0, ColSize = 1, ColType = 2, ColDate = 3 };

    // A model over a new QFileSystemModel (owned) that lists filters'
    // entries; hidden entries are never listed, as a Linux file manager
    // does by default.
    TLocalEntriesModel(QDir::Filters filters, QObject *parent = nullptr);
    ~TLocalEntriesModel() override;

    QFileSystemModel *FileSystem() const { return fileSystem; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QFileSystemModel *fileSystem;
};
