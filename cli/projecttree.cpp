#include "projecttree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace ProjectTree
{
namespace
{
constexpr QDir::Filters kEverything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
} // namespace

bool snapshot(const QString& root, QMap<QString, Entry>* entries, QString* error)
{
    entries->clear();
    const QDir base(QFileInfo(root).absoluteFilePath());
    QDirIterator it(base.path(), kEverything, QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = base.relativeFilePath(info.filePath());
        Entry entry;
        if (info.isSymLink())
        {
            entry.kind = Entry::Kind::Link;
            entry.digest = info.symLinkTarget().toUtf8();
        }
        else if (info.isDir())
        {
            entry.kind = Entry::Kind::Folder;
        }
        else
        {
            QFile file(info.filePath());
            QCryptographicHash hash(QCryptographicHash::Sha256);
            if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
            {
                *error = QStringLiteral("Unable to open file '") + info.filePath() + QStringLiteral("' for reading.");
                return false;
            }
            entry.digest = hash.result();
        }
        entries->insert(relative, entry);
    }
    return true;
}

namespace
{
// Copies the contents of `from` into the existing folder `to`. Symbolic links are followed (a link
// to a folder is copied as a folder), so that the scratch copy holds no link through which a run
// could reach files outside it; a folder already on the current path is not entered twice.
bool copyFolder(const QString& from, const QString& to, QStringList& path, QString* error)
{
    const QFileInfoList entries = QDir(from).entryInfoList(kEverything, QDir::Name);
    for (const QFileInfo& info : entries)
    {
        const QString destination = to + QLatin1Char('/') + info.fileName();
        if (info.isDir())
        {
            const QString canonical = info.canonicalFilePath();
            if (path.contains(canonical))
                continue; // a link back into its own ancestors
            if (!QDir().mkpath(destination))
            {
                *error = QStringLiteral("Unable to create directory ") + destination + QLatin1Char('.');
                return false;
            }
            path.append(canonical);
            const bool ok = copyFolder(info.filePath(), destination, path, error);
            path.removeLast();
            if (!ok)
                return false;
        }
        else if (info.isFile())
        {
            if (!QFile::copy(info.filePath(), destination))
            {
                *error = QStringLiteral("Unable to copy '") + info.filePath() + QStringLiteral("' to '") + destination +
                         QStringLiteral("'.");
                return false;
            }
        }
        // Anything else (a dangling link, a socket) has no content to copy.
    }
    return true;
}
} // namespace

bool copySelection(const QString& from, const QString& to, const QStringList& names, const QString& sparse,
                   const QString& keep, QString* error)
{
    const QDir source(from);
    QStringList path{QFileInfo(from).canonicalFilePath()};
    auto copyEntry = [&](const QFileInfo& info, const QString& destination) {
        if (info.isDir())
        {
            if (!QDir().mkpath(destination))
            {
                *error = QStringLiteral("Unable to create directory ") + destination + QLatin1Char('.');
                return false;
            }
            return copyFolder(info.filePath(), destination, path, error);
        }
        if (info.isFile() && !QFile::copy(info.filePath(), destination))
        {
            *error = QStringLiteral("Unable to copy '") + info.filePath() + QStringLiteral("' to '") + destination +
                     QStringLiteral("'.");
            return false;
        }
        return true;
    };
    for (const QString& name : names)
    {
        const QFileInfo info(source.filePath(name));
        if ((info.exists() || info.isSymLink()) && !copyEntry(info, to + QLatin1Char('/') + name))
            return false;
    }
    const QFileInfo folder(source.filePath(sparse));
    if (!folder.isDir())
        return true;
    const QString target = to + QLatin1Char('/') + sparse;
    if (!QDir().mkpath(target))
    {
        *error = QStringLiteral("Unable to create directory ") + target + QLatin1Char('.');
        return false;
    }
    for (const QFileInfo& info : QDir(folder.filePath()).entryInfoList(kEverything, QDir::Name))
    {
        const QString destination = target + QLatin1Char('/') + info.fileName();
        if (info.fileName() == keep)
        {
            if (!copyEntry(info, destination))
                return false;
        }
        else if (info.isDir() ? !QDir().mkpath(destination) : !QFile(destination).open(QIODevice::WriteOnly))
        {
            *error = QStringLiteral("Unable to create '") + destination + QStringLiteral("'.");
            return false;
        }
    }
    return true;
}

QList<Change> compare(const QMap<QString, Entry>& before, const QMap<QString, Entry>& after)
{
    QMap<QString, Change::Kind> changes;
    auto shown = [](const QString& path, const Entry& e) {
        return e.kind == Entry::Kind::Folder ? path + QLatin1Char('/') : path;
    };
    for (auto it = before.cbegin(); it != before.cend(); ++it)
    {
        const auto now = after.constFind(it.key());
        if (now == after.cend())
            changes.insert(shown(it.key(), it.value()), Change::Kind::Deleted);
        else if (now->kind != it->kind)
        {
            changes.insert(shown(it.key(), it.value()), Change::Kind::Deleted);
            changes.insert(shown(now.key(), now.value()), Change::Kind::Created);
        }
        else if (now->kind != Entry::Kind::Folder && now->digest != it->digest)
            changes.insert(it.key(), Change::Kind::Changed);
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()))
            changes.insert(shown(it.key(), it.value()), Change::Kind::Created);

    QList<Change> list;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
        list.append({it.value(), it.key()});
    return list;
}
} // namespace ProjectTree
