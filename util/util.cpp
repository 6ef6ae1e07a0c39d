#include "util.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextCodec>
#include <QTextStream>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace
{
// Writes `text` through a text stream into a temporary file beside `path` and renames it over
// `path` only when the stream, the flush and the rename all succeeded. A missing parent folder or a
// read-only existing file makes the open fail; any later failure discards the temporary file, so an
// existing file is never left truncated or half written.
bool writeTextFileSafely(const QString& path, const QString& text, QTextCodec* codec = nullptr,
                         bool byteOrderMark = false)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;

    QTextStream out(&file);
    if (codec)
        out.setCodec(codec);
    out.setGenerateByteOrderMark(byteOrderMark);
    out << text;
    out.flush();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
    {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// True when an archive entry name would place its file outside the destination folder: an absolute
// name ("/x", "\x", "C:x") or one whose normalised form climbs above the destination ("../x",
// "a/../../x"). Backslashes count as separators here so that names written on Windows are judged
// the same way everywhere.
bool entryNameEscapes(const QString& name)
{
    QString relative = name;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (relative.startsWith(QLatin1Char('/')))
        return true;
    static const QRegularExpression driveLetter(QStringLiteral("^[A-Za-z]:"));
    if (driveLetter.match(relative).hasMatch())
        return true;
    const QString cleaned = QDir::cleanPath(relative);
    return cleaned == QLatin1String("..") || cleaned.startsWith(QLatin1String("../"));
}

// True when the nearest existing folder on the way to `path` resolves, after following symbolic
// links, to `canonicalRoot` or a folder below it, so that creating `path` cannot leave the root.
bool resolvesInside(const QString& path, const QString& canonicalRoot)
{
    if (canonicalRoot.isEmpty())
        return false;
    QString existing = QDir::cleanPath(path);
    while (!QFileInfo::exists(existing))
    {
        const QString up = QFileInfo(existing).absolutePath();
        if (up == existing)
            return false;
        existing = up;
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    return canonical == canonicalRoot || canonical.startsWith(canonicalRoot + QLatin1Char('/')) ||
           canonicalRoot == QLatin1String("/");
}

// Copies the current entry of `zip` to `target`. The entry is opened first, so an unreadable entry
// creates nothing; the bytes go into a temporary file that replaces `target` only when the whole
// entry was read and its checksum matched.
bool extractCurrentEntry(QuaZip& zip, const QString& target)
{
    QuaZipFile entry(&zip);
    if (!entry.open(QIODevice::ReadOnly))
        return false;

    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
    {
        entry.close();
        return false;
    }

    bool ok = true;
    char chunk[64 * 1024];
    for (;;)
    {
        const qint64 got = entry.read(chunk, sizeof(chunk));
        if (got < 0)
        {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (out.write(chunk, got) != got)
        {
            ok = false;
            break;
        }
    }
    entry.close();
    if (entry.getZipError() != UNZ_OK)
        ok = false;

    if (!ok)
    {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
} // namespace

Util::Util() {}

void Util::prependStringToString(QString* target, QString prefix)
{
    if (target)
        target->prepend(prefix);
}

QString Util::resourceText(QString path)
{
    QString text;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return text;

    QByteArray data = file.readAll();
    file.close();
    const int nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    text = QString::fromUtf8(data);
    return text;
}

bool Util::downloadResourceFile(QString sourcePath, QString destinationPath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
    {
        qWarning() << "Failed to open resource file:" << sourcePath;
        return false;
    }

    QSaveFile destination(destinationPath);
    if (!destination.open(QIODevice::WriteOnly))
    {
        qWarning() << "Failed to create local file:" << destinationPath;
        return false;
    }

    const QByteArray data = source.readAll();
    const bool readOk = source.error() == QFileDevice::NoError;
    source.close();
    if (!readOk || destination.write(data) != data.size() || !destination.commit())
    {
        destination.cancelWriting();
        qWarning() << "Failed to create local file:" << destinationPath;
        return false;
    }
    return true;
}

bool Util::DirClean(QString folderPath, QString nameFilters)
{
    QDir folder(folderPath);
    folder.setNameFilters(nameFilters.split(QLatin1Char(';'), Qt::KeepEmptyParts));
    folder.setFilter(QDir::Files | QDir::NoDotAndDotDot);

    bool result = true;
    const QFileInfoList entries = folder.entryInfoList();
    for (const QFileInfo& entry : entries)
    {
        const QString path = entry.absoluteFilePath();
        // A symbolic link is removed as it is; the permissions of whatever it points to (possibly a
        // file outside this folder) are left alone.
        if (!entry.isSymLink() && !(QFile::permissions(path) & QFileDevice::WriteOwner))
        {
            if (!QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            {
                qWarning() << "Failed to set write permissions for:" << path;
                result = false;
                continue;
            }
        }
        if (!QFile::remove(path))
        {
            qWarning() << "Failed to remove file:" << path;
            result = false;
        }
    }
    return result;
}

bool Util::readFileContentsToString(QString path, QString* output, QTextCodec* codec)
{
    if (!output)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;

    QTextStream in(&file);
    if (codec)
    {
        in.setCodec(codec);
        in.setAutoDetectUnicode(false);
    }
    *output = in.readAll();
    file.close();
    return true;
}

bool Util::saveStringToFileDirectory(QString path, QString* text, QTextCodec* codec, bool byteOrderMark)
{
    if (!text)
        return false;
    return writeTextFileSafely(path, *text, codec, byteOrderMark);
}

bool Util::readFilePrependStringListAndWriteFile(QString inputPath, QString outputPath, QStringList prefixes)
{
    QString text;
    if (!readFileContentsToString(inputPath, &text))
        return false;

    for (const QString& prefix : prefixes)
        text.prepend(prefix);

    return writeTextFileSafely(outputPath, text);
}

bool Util::extractZippedFile(QString archivePath, QString destinationFolder, int* failedEntries)
{
    int failedDummy = 0;
    int& failed = failedEntries ? *failedEntries : failedDummy;
    failed = 0;
    QuaZip zip(archivePath);
    if (!zip.open(QuaZip::mdUnzip))
        return false;

    QDir().mkpath(destinationFolder);
    const QString canonicalRoot = QFileInfo(destinationFolder).canonicalFilePath();
    if (canonicalRoot.isEmpty())
    {
        // The destination could not be created: no entry can be written, which is no failure of
        // the archive itself.
        failed = zip.getEntriesCount();
        zip.close();
        return true;
    }

    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile())
    {
        const QString name = zip.getCurrentFileName();
        if (name.isEmpty())
            continue;
        if (entryNameEscapes(name))
        {
            qWarning() << "Skipped archive entry outside the destination folder:" << name;
            ++failed;
            continue;
        }

        // The name is normalised before use so that the path written is the path that was checked.
        // A folder entry creates the folder itself; a file entry creates its parent. Neither may lead
        // outside the destination through a symbolic link that is already on disk, and a file is
        // not written through such a link either.
        const QString target = destinationFolder + QLatin1Char('/') + QDir::cleanPath(name);
        const bool isFolder = name.endsWith(QLatin1Char('/'));
        const QString folder = isFolder ? target : QFileInfo(target).absolutePath();
        if (!resolvesInside(folder, canonicalRoot))
        {
            qWarning() << "Skipped archive entry outside the destination folder:" << name;
            ++failed;
            continue;
        }
        QDir().mkpath(folder);
        if (isFolder)
            continue;
        const QFileInfo targetInfo(target);
        if (targetInfo.isSymLink() && !resolvesInside(targetInfo.symLinkTarget(), canonicalRoot))
        {
            qWarning() << "Skipped archive entry outside the destination folder:" << name;
            ++failed;
            continue;
        }
        if (!extractCurrentEntry(zip, target))
        {
            qWarning() << "Could not write archive entry:" << target;
            ++failed;
        }
    }
    zip.close();
    return true;
}
