#ifndef UTIL_H
#define UTIL_H

#include <QString>
#include <QStringList>

class QTextCodec;

#ifdef QT_WIDGETS_LIB
#include <QMessageBox>
#endif

// Static file and resource operations used by every part of the program.
//
// A path beginning with ":/" names an embedded resource; any other path names a file on disk.
// Text is read and written in text mode (CR LF becomes LF in memory, LF becomes the platform's line
// end on disk). No operation shows a dialog: failures come back as a false result or an empty
// string, and a few are also logged to Qt's warning channel.
class Util
{
public:
    Util();

    // Inserts `prefix` at position 0 of `target`.
    static void prependStringToString(QString* target, QString prefix);

    // The whole text of a resource or file decoded as UTF-8, up to (not including) the first NUL
    // byte; an empty string when it cannot be opened.
    static QString resourceText(QString path);

    // Copies `sourcePath` to `destinationPath` byte for byte (no line-end translation), replacing
    // the destination. False, with a warning logged, when either side cannot be opened or the copy
    // cannot be completed; an existing destination is then left as it was.
    static bool downloadResourceFile(QString sourcePath, QString destinationPath);

    // Removes every file directly inside `folderPath` whose name matches one of the ";"-separated
    // wildcard `nameFilters`, making read-only files writable first. Subfolders, hidden files and the
    // folder itself stay. True when every matching file was removed (a missing folder gives true).
    static bool DirClean(QString folderPath, QString nameFilters);

#ifdef QT_WIDGETS_LIB
    // A modal box with free button texts, asked through the program's dialog seam. Returns the text
    // of the pressed button, or an empty string when none of them was pressed.
    static QString CustomMessageBox(const QString& title, const QString& text, const QStringList& buttons,
                                    QMessageBox::Icon icon);
#endif

    // Reads the whole file (or resource) at `path` into `output`. False when it cannot be opened;
    // `output` is then unchanged. The text stream's default encoding applies unless `codec` is given.
    static bool readFileContentsToString(QString path, QString* output, QTextCodec* codec = nullptr);

    // Writes `text` to `path`, replacing the file. The file is written beside its final place and
    // renamed over it only when every byte was written, so a failed write (a full disk, a missing
    // folder, a read-only file) returns false and leaves any earlier file untouched. The text
    // stream's default encoding applies unless `codec` is given; with `byteOrderMark` a Unicode
    // encoding's byte order mark is written first.
    static bool saveStringToFileDirectory(QString path, QString* text, QTextCodec* codec = nullptr,
                                          bool byteOrderMark = false);

    // Reads `inputPath`, inserts each entry of `prefixes` at the front in list order (so [A, B]
    // gives B, A, input) and writes the result to `outputPath` as saveStringToFileDirectory does.
    static bool readFilePrependStringListAndWriteFile(QString inputPath, QString outputPath, QStringList prefixes);

    // Unpacks every entry of the zip archive at `archivePath` (a resource path is allowed) under
    // `destinationFolder`. An entry whose name is absolute or climbs out of the destination is
    // skipped. True when the archive could be opened; `failedEntries`, when given, receives the number
    // of entries that could not be written (or were skipped), so that a caller can tell the user.
    static bool extractZippedFile(QString archivePath, QString destinationFolder, int* failedEntries = nullptr);
};

#endif // UTIL_H
