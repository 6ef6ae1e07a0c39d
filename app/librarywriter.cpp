#include "librarywriter.h"

#include <QFileInfo>

#include "dialogs.h"
#include "util.h"
#include "velkormdl.h"

namespace
{
const QString kLibraryResources = QStringLiteral(":/velkor/resources/velkor/");
const QString kCodeResources = QStringLiteral(":/code/resources/code/");
} // namespace

QStringList LibraryWriter::moduleFileNames(const QList<VelkorMdl*>& modules)
{
    QStringList names;
    for (VelkorMdl* module : modules)
        names += module->libFilenames();
    return names;
}

QStringList LibraryWriter::circularBufferFileNames()
{
    return {QStringLiteral("circbuff.c"), QStringLiteral("circbuff.h")};
}

bool LibraryWriter::write(const QString& libraryFolder, const QString& headerFolderPrefix,
                          const QString& sourceFolderPrefix, const QDir& projectFolder,
                          const QList<VelkorMdl*>& modules, const QString& notice)
{
    Dialogs& dialogs = Dialogs::current();
    const QStringList headerStrings{notice, QStringLiteral("\n")};

    if (projectFolder.exists(libraryFolder))
    {
        // A failure to remove an old file is only logged; the new files are written over it anyway.
        Util::DirClean(projectFolder.filePath(libraryFolder), QStringLiteral("*.*"));
    }
    // The project folder itself must still be there: creating the library folder must never bring
    // back a project folder that was removed or renamed in the meantime.
    else if (!projectFolder.exists() || !projectFolder.mkpath(libraryFolder))
    {
        dialogs.critical(QStringLiteral("Error Creating Directory"),
                         QStringLiteral("Unable to create directory ") + libraryFolder +
                             QStringLiteral(" under the project path."));
        return false;
    }

    struct Copy
    {
        QString resource;
        QString destination;
    };
    QList<Copy> supportFiles{
        {kLibraryResources + QStringLiteral("GSM_Globals.h"), libraryFolder + QStringLiteral("/GSM_Globals.h")},
        {kLibraryResources + QStringLiteral("GSM_Required_Externals.h"),
         libraryFolder + QStringLiteral("/GSM_Required_Externals.h")},
        {kLibraryResources + QStringLiteral("GSM_Util.h"), libraryFolder + QStringLiteral("/GSM_Util.h")},
        {kLibraryResources + QStringLiteral("GSM_Util.c"), libraryFolder + QStringLiteral("/GSM_Util.c")},
    };
    const QStringList circularBuffer = circularBufferFileNames();
    supportFiles.append({kCodeResources + circularBuffer[0], sourceFolderPrefix + circularBuffer[0]});
    supportFiles.append({kCodeResources + circularBuffer[1], headerFolderPrefix + circularBuffer[1]});
    for (const Copy& copy : supportFiles)
    {
        if (!Util::readFilePrependStringListAndWriteFile(copy.resource, projectFolder.filePath(copy.destination),
                                                          headerStrings))
        {
            dialogs.critical(QStringLiteral("Write Error"),
                             QStringLiteral("Failed to write library support files to specified directory."));
            return false;
        }
    }

    for (const QString& name : moduleFileNames(modules))
    {
        if (!Util::readFilePrependStringListAndWriteFile(
                kLibraryResources + name, projectFolder.filePath(libraryFolder + QLatin1Char('/') + name),
                headerStrings))
        {
            dialogs.critical(QStringLiteral("Write Error"),
                             QStringLiteral("Failed to write library module files to specified directory."));
            return false;
        }
    }
    return true;
}
