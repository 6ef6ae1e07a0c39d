#ifndef USERCODEMERGE_H
#define USERCODEMERGE_H

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

class QTextCodec;

// Carrying the user's own code from an existing manager file into its freshly generated text.
//
// A user region runs from a begin marker "// USER CODE BEGIN <name>" to the first end marker
// "// USER CODE END <name>" (markers included; any white space, line breaks too, may separate the
// slashes and the words; the keywords are upper case; the name ends where a word ends). Only the 27
// names of regionNames() are carried over. A text's regions are found one after the other, so markers
// inside a region's own text belong to that region. The first region of each name in the old text
// replaces the regions of that name in the new text where they stand; a region of the old text that
// the new text no longer has is reported as dropped.
//
// merge() and outputPath() are pure (no files, no dialogs) so that a front end can show what a
// generation would do without writing anything. extractAndSave() is the whole operation on disk with
// its questions and messages, asked through Dialogs::current().
namespace UserCodeMerge
{
// The 27 recognised region names in their fixed order.
QStringList regionNames();

// One compiled expression per region name, in regionNames() order: the whole region is capture
// group 1. The name is inserted with any white space allowed for its blank and must not be followed by
// a letter, digit or underscore, so "gsmWrite" never matches the markers of "gsmWriteCompleted".
QVector<QRegularExpression> compilePatterns();

// `pristineText`, when given, is a manager text as the generator writes it with every module (the
// regions holding the generator's own example text): a region of the old text that the new text has
// no place for is not reported as dropped when it still holds exactly that text, since it holds no
// code of the user's (readExisting has made every line end LF, as the generator writes them).
struct Result
{
    QString text;                // the new text with every known region of the old text in place
    QStringList droppedRegions;  // names whose region the old text has and the new text lacks, or whose
                                 // begin marker in the old text has no end marker after it, or that
                                 // the old text holds twice, or whose end marker stands there outside
                                 // every region (begin marker deleted, or marker text in the user's
                                 // code that ended the region early)
};

// Merges the user regions of `oldText` into `newText` with `patterns` (compilePatterns() when
// empty). The user's text is inserted literally: "$", "\" and "%1" in it stay as they are.
Result merge(const QString& oldText, const QString& newText,
             const QVector<QRegularExpression>& patterns = QVector<QRegularExpression>(),
             const QString& pristineText = QString());

// Where the merged text of `filePath` goes: for a ".c" or ".cpp" file (any letter case) the same
// folder and base name with the extension of the current language ("cpp" when `cpp`, else "c");
// any other file (the header) keeps its own path.
QString outputPath(const QString& filePath, bool cpp);

// Whether a backup copy in `folder` could be overwritten or deleted by the generation of the project
// in `projectFolder`: the project folder holds the manager files (and a stale one may be deleted), and
// the library folders ("Velkor", "src/Velkor") are emptied before the library is written, or deleted
// with everything in them as stale.
bool backupFolderAtRisk(const QString& folder, const QString& projectFolder);

// An existing manager file as text, with the encoding it was read in: null for the text stream's
// default (the locale's encoding), Latin-1 for a file whose bytes are not valid in that encoding
// (typically one saved as Windows-1252 or Latin-1 by an IDE on a UTF-8 system). Latin-1 gives every
// byte its own character, so writing the merged text back in the same encoding keeps the user's
// non-ASCII bytes exactly as they were instead of turning them into replacement characters. A file
// that starts with a byte order mark is read in the encoding that the mark names, and is written
// back in that encoding with the mark in front.
struct ExistingFile
{
    QString text;
    QTextCodec* codec = nullptr;
    bool byteOrderMark = false;
};
// False when `path` cannot be opened for reading.
bool readExisting(const QString& path, ExistingFile* file);

// Merges the existing file at `filePath` into `generatedText` (changed in place) and writes the
// result to outputPath(filePath, cpp). When regions would be dropped, asks once per file whether to
// back the old file up first and, on Yes, asks for a folder and copies the old file there byte for
// byte. The merged file is written in the encoding the old file was read in (readExisting).
// Returns true when the merged text was written; false when nothing was written, after a message box
// that says why (the old file is then untouched). `filePath` itself is never deleted or renamed.
bool extractAndSave(const QString& filePath, QString& generatedText, bool cpp,
                    const QVector<QRegularExpression>& patterns = QVector<QRegularExpression>(),
                    const QString& pristineText = QString());
} // namespace UserCodeMerge

#endif // USERCODEMERGE_H
