#ifndef PROJECTTREE_H
#define PROJECTTREE_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Snapshots and copies of a folder tree, used by "generate --dry-run": the real generation runs on a
// scratch copy of the project folder, and the difference between the copy's tree before and after
// the run is what the generation would change in the project.
namespace ProjectTree
{
struct Entry
{
    enum class Kind
    {
        File,
        Folder,
        Link
    };
    Kind kind = Kind::File;
    QByteArray digest; // SHA-256 of a file's bytes, the target of a symbolic link
};

// Every entry below `root` (hidden ones included; symbolic links recorded, not followed), keyed by
// its path relative to `root` with "/" separators. False when something could not be read.
bool snapshot(const QString& root, QMap<QString, Entry>* entries, QString* error);

// Copies into the existing folder `to` only what a generation in `from` can read, write or delete:
// the top-level entries named in `names` (folders with everything in them), and of the folder
// `sparse` its entry named `keep` with everything in it and its other entries as empty stand-ins (an
// empty file or folder of the same name), so that whether that folder is otherwise empty is still
// known. Nothing else is copied: the project's own trees (build output, links to an SDK) are never
// walked. False with a reason at the first failure.
bool copySelection(const QString& from, const QString& to, const QStringList& names, const QString& sparse,
                   const QString& keep, QString* error);

struct Change
{
    enum class Kind
    {
        Created,
        Changed,
        Deleted
    };
    Kind kind;
    QString path; // relative; folders end with "/"
};

// Files (and folders, which are only reported when created or deleted) that differ, sorted by path.
QList<Change> compare(const QMap<QString, Entry>& before, const QMap<QString, Entry>& after);
} // namespace ProjectTree

#endif // PROJECTTREE_H
