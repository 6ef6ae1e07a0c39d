#include "exampleexport.h"

#include "dependencycheck.h"
#include "dialogs.h"
#include "librarywriter.h"
#include "projecthost.h"
#include "util.h"
#include "velkorconstants.h"
#include "velkormdl.h"

#include <QDir>
#include <QList>
#include <QStringList>

#include <utility>

namespace
{
// One project layout of the example archives, with where its library goes and which of its files
// receive the generated-file notice ("%1" stands for the project folder name).
struct Flavour
{
    QString name;
    QString libraryFolder;
    QString headerFolderPrefix;
    QString sourceFolderPrefix;
    QStringList noticeFiles;
};

QList<Flavour> flavours()
{
    return {
        {QStringLiteral("Arduino"), Velkor::arduinoSourceFolder() + QLatin1Char('/') + Velkor::libraryName(), QString(),
         QString(),
         {QStringLiteral("gsm_manager.cpp"), QStringLiteral("gsm_manager.h"), QStringLiteral("main.h"),
          QStringLiteral("%1.ino")}},
        {QStringLiteral("STM32CubeIDE"), QStringLiteral("Core/") + Velkor::libraryName(), QStringLiteral("Core/Inc/"),
         QStringLiteral("Core/Src/"),
         {QStringLiteral("Core/Inc/gsm_manager.h"), QStringLiteral("Core/Inc/uart_dma.h"),
          QStringLiteral("Core/Src/gsm_manager.c"), QStringLiteral("Core/Src/uart_dma.c")}},
    };
}

// Completes every example project of one flavour folder: library files, then the notice in front
// of the manager and main files. False as soon as the library writer fails.
bool completeFlavour(const Flavour& flavour, const QString& flavourFolder, const QList<VelkorMdl*>& modules,
                     const QString& notice)
{
    // A missing flavour folder lists nothing.
    const QStringList projects =
        QDir(flavourFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    const QStringList prefixes{notice, QStringLiteral("\n")};
    for (const QString& project : projects)
    {
        const QString projectFolder = flavourFolder + QLatin1Char('/') + project;
        if (!LibraryWriter::write(flavour.libraryFolder, flavour.headerFolderPrefix, flavour.sourceFolderPrefix,
                                  QDir(projectFolder), modules, notice))
            return false;

        // The archive restored these files just now, so each gets the notice exactly once. A file
        // that an example does not have is skipped by the utility.
        for (QString file : flavour.noticeFiles)
        {
            const QString path = projectFolder + QLatin1Char('/') + file.replace(QStringLiteral("%1"), project);
            Util::readFilePrependStringListAndWriteFile(path, path, prefixes);
        }
    }
    return true;
}

const QString kHttpClientId = QStringLiteral("HTTP_Client_SIMCom");
const QString kConnectionLteId = QStringLiteral("InternetConnection_SIMCom");
const QString kConnection2GId = QStringLiteral("InternetConnection_SIMCom2G");
const QString kAnswer2G = QStringLiteral("SIMCom 2G");
const QString kAnswerLte = QStringLiteral("SIMCom LTE");
} // namespace

ExampleExport::ExampleExport(ProjectHost& host, QString generatedFileNotice)
    : mHost(host), mGeneratedFileNotice(std::move(generatedFileNotice)),
      mArchiveFolder(QStringLiteral(":/examples/resources/examples/"))
{
}

void ExampleExport::setArchiveFolder(const QString& folder)
{
    mArchiveFolder = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString ExampleExport::archivePath(const QString& moduleId) const
{
    return mArchiveFolder + moduleId + QStringLiteral(".zip");
}

QString ExampleExport::userManualResource()
{
    return QStringLiteral(":/user_manual/resources/user_manual/Velkor User Manual.pdf");
}

QString ExampleExport::userManualFileName()
{
    return QStringLiteral("Velkor User Manual.pdf");
}

ExampleExport::Result ExampleExport::downloadExample(VelkorMdl* selected)
{
    // Without a current module row there is no example to export; leave the ticks alone.
    if (selected == nullptr)
        return Result::NothingSelected;

    // The example's modules replace the user's selection: the selected module and what it needs.
    for (VelkorMdl* module : mHost.allModules())
        mHost.setModuleChecked(module, false);
    mHost.setModuleChecked(selected, true);
    DependencyCheck::run(mHost); // messages discarded: the one open choice (LTE or 2G) is asked below

    // The HTTP examples run over either connection; the 2G one unless LTE is asked for.
    if (selected->id() == kHttpClientId)
    {
        const QString answer = Dialogs::current().choose(
            QStringLiteral("LTE or 2G"),
            QStringLiteral("Does your HTTP application require the 'Internet Connection (SIMCom 2G)' module or the "
                           "'Internet Connection (SIMCom LTE)' module?"),
            {kAnswer2G, kAnswerLte}, Dialogs::Icon::Information);
        if (answer != kAnswerLte)
        {
            if (VelkorMdl* lte = mHost.moduleById(kConnectionLteId))
                mHost.setModuleChecked(lte, false);
            if (VelkorMdl* g2 = mHost.moduleById(kConnection2GId))
                mHost.setModuleChecked(g2, true);
        }
    }

    const QList<VelkorMdl*> modules = mHost.checkedModules();
    const QString id = selected->id();

    const QString folder = Dialogs::current().chooseFolder(Dialogs::Owner::MainWindow);
    if (folder.isEmpty())
        return Result::Cancelled;

    int unwritten = 0;
    if (!Util::extractZippedFile(archivePath(id), folder, &unwritten))
    {
        Dialogs::current().critical(QStringLiteral("Download Error"),
                                    QStringLiteral("Failed to extract example projects."));
        return Result::ExtractFailed;
    }

    QString licence = Util::resourceText(QStringLiteral(":/license/resources/license/LICENSE.txt"));
    if (!Util::saveStringToFileDirectory(folder + QLatin1Char('/') + id + QStringLiteral("/LICENSE.txt"), &licence))
    {
        Dialogs::current().critical(
            QStringLiteral("Licensing Error"),
            QStringLiteral("Unable to download LICENSE agreement. Please review folder write permissions."));
        return Result::LicenceFailed;
    }

    for (const Flavour& flavour : flavours())
    {
        const QString flavourFolder = folder + QLatin1Char('/') + id + QLatin1Char('/') + flavour.name;
        if (!completeFlavour(flavour, flavourFolder, modules, mGeneratedFileNotice))
            return Result::LibraryFailed;
    }

    if (unwritten > 0)
    {
        // Everything that could be written is in place; success is not claimed for the rest.
        Dialogs::current().critical(QStringLiteral("Download Error"),
                                    QStringLiteral("Some files of the example projects could not be written. "
                                                   "Please review folder write permissions."));
        return Result::Incomplete;
    }
    Dialogs::current().information(QStringLiteral("Example Downloaded"),
                                   QStringLiteral("Example downloaded successfully."));
    return Result::Downloaded;
}

QString ExampleExport::downloadUserManual()
{
    const QString folder = Dialogs::current().chooseFolder(Dialogs::Owner::MainWindow);
    if (folder.isEmpty())
        return QString();
    const QString target = folder + QLatin1Char('/') + userManualFileName();
    if (!Util::downloadResourceFile(userManualResource(), target))
    {
        // Success needs no box (the file is where the user asked for it); a failure is told.
        Dialogs::current().critical(QStringLiteral("Download Error"),
                                    QStringLiteral("Unable to write '") + target +
                                        QStringLiteral("'. Please review folder write permissions."));
        return QString();
    }
    return target;
}
