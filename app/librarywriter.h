#ifndef LIBRARYWRITER_H
#define LIBRARYWRITER_H

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

class VelkorMdl;

// Puts the Velkor library into a project: empties (or creates) the library folder, writes the four
// support files there and circbuff.c / circbuff.h under their folder prefixes, then every library
// file of the given modules, each behind the notice header (so every file reads: an empty line, the
// notice comment, an empty line, the library text).
//
// Used by code generation ("Velkor" or "src/Velkor", empty prefixes) and by the example export
// ("Core/Velkor" with "Core/Inc/" and "Core/Src/", for instance). Failures are reported through
// Dialogs::current() with a critical box.
class LibraryWriter
{
public:
    // The library files that `modules` need, in writing order (a name listed twice appears twice).
    static QStringList moduleFileNames(const QList<VelkorMdl*>& modules);
    // The circular buffer's source and header, written under the folder prefixes (in the project
    // folder itself for code generation) rather than into the library folder.
    static QStringList circularBufferFileNames();

    // Writes everything. `libraryFolder` and the prefixes are relative to `projectFolder`; each
    // prefix is empty or ends with "/". `notice` is the notice header comment. True when every file
    // was written; false after a box ("Error Creating Directory" or "Write Error") otherwise.
    static bool write(const QString& libraryFolder, const QString& headerFolderPrefix,
                      const QString& sourceFolderPrefix, const QDir& projectFolder, const QList<VelkorMdl*>& modules,
                      const QString& notice);
};

#endif // LIBRARYWRITER_H
