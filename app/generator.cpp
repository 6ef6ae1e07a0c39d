#include "generator.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#include "dependencycheck.h"
#include "dialogs.h"
#include "librarywriter.h"
#include "projecthost.h"
#include "projectsettings.h"
#include "usercodemerge.h"
#include "util.h"
#include "velkorconstants.h"
#include "velkormdl_getting_started.h"

namespace
{
const QString kHeaderName = QStringLiteral("gsm_manager.h");
const QString kCName = QStringLiteral("gsm_manager.c");
const QString kCppName = QStringLiteral("gsm_manager.cpp");
const QString kRemoveTitle = QStringLiteral("Remove File?");
} // namespace

Generator::Generator(ProjectHost& host) : mHost(host) {}

Generator::Flavour Generator::flavourOf(const ProjectHost& host)
{
    if (!host.isCppSelected())
        return Flavour::C;
    return host.isArduinoTicked() ? Flavour::Arduino : Flavour::Cpp;
}

QString Generator::libraryFolder(Flavour flavour)
{
    if (flavour == Flavour::Arduino)
        return Velkor::arduinoSourceFolder() + QLatin1Char('/') + Velkor::libraryName();
    return Velkor::libraryName();
}

QString Generator::managerSourceName(Flavour flavour)
{
    return flavour == Flavour::C ? kCName : kCppName;
}

Generator::ManagerTexts Generator::buildManagerTexts(const QList<VelkorMdl*>& modules, Flavour flavour,
                                                     const QString& notice)
{
    return buildManagerTexts(modules, flavour, notice,
                             Util::resourceText(QStringLiteral(":/code/resources/code/gsm_manager.h")),
                             Util::resourceText(QStringLiteral(":/code/resources/code/gsm_manager.c")));
}

Generator::ManagerTexts Generator::buildManagerTexts(const QList<VelkorMdl*>& modules, Flavour flavour,
                                                     const QString& notice, const QString& headerTemplate,
                                                     const QString& sourceTemplate)
{
    const QString includePrefix = QStringLiteral("#include \"") + libraryFolder(flavour);
    QString header[2];
    QString source[8];
    for (VelkorMdl* module : modules)
    {
        // The Start module has no header of its own: the prefix alone would be a broken line.
        if (!dynamic_cast<VelkorMdl_GettingStarted*>(module))
            header[0] += includePrefix + module->headerIncludes();
        header[1] += module->headerFunctionPrototypes();
        source[0] += module->includes();
        source[1] += module->generalVariables();
        source[2] += module->instanceVariables();
        source[3] += module->generalCallbackFunctions();
        source[4] += module->eventCallbackFunctions();
        source[5] += module->initCode();
        source[6] += module->pollCode();
        source[7] += module->convenienceFunctions();
    }

    // One pass per template: text inserted for a placeholder is never scanned again, so "%1" or "%u"
    // inside a fragment reaches the file as it is.
    const QString prefix = notice + QLatin1Char('\n');
    ManagerTexts texts;
    texts.header = prefix + headerTemplate.arg(header[0], header[1]);
    texts.source = prefix + sourceTemplate.arg(source[0], source[1], source[2], source[3], source[4], source[5],
                                               source[6], source[7]);
    if (flavour == Flavour::C)
        removeCLinkage(texts);
    return texts;
}

void Generator::removeCLinkage(ManagerTexts& texts)
{
    static const QRegularExpression opening(QStringLiteral("extern \"C\" {\\s*"));
    static const QRegularExpression closing(QStringLiteral("\\s*} \\/\\/ extern \"C\""));
    texts.source.remove(opening);
    texts.header.remove(opening);
    texts.source.remove(closing);
    texts.header.remove(closing);
}

Generator::ManagerTexts Generator::pristineTexts(ProjectHost& host, Flavour flavour)
{
    return buildManagerTexts(host.allModules(), flavour, Velkor::generatedFileNotice());
}

QString Generator::pristineTextFor(const QString& filePath) const
{
    return filePath.endsWith(QLatin1String(".h"), Qt::CaseInsensitive) ? mPristine.header : mPristine.source;
}

Generator::FilePreview Generator::previewFile(const QString& existingPath, const QString& newText,
                                              const QString& newPath, bool cpp, const QString& pristineText)
{
    FilePreview preview;
    preview.text = newText;
    preview.outputPath = newPath;
    if (existingPath.isEmpty() || !QFileInfo::exists(existingPath))
        return preview;
    preview.readPath = existingPath;
    preview.outputPath = UserCodeMerge::outputPath(existingPath, cpp);
    UserCodeMerge::ExistingFile old;
    if (!UserCodeMerge::readExisting(existingPath, &old))
    {
        preview.readFailed = true;
        return preview;
    }
    const UserCodeMerge::Result merged = UserCodeMerge::merge(old.text, newText, {}, pristineText);
    preview.text = merged.text;
    preview.droppedRegions = merged.droppedRegions;
    return preview;
}

bool Generator::saveSettings()
{
    return ProjectSettings::save(mHost);
}

QStringList Generator::checkDependencies()
{
    return DependencyCheck::run(mHost);
}

bool Generator::extractAndSaveUserCode(const QString& filePath, QString& generatedText)
{
    return UserCodeMerge::extractAndSave(filePath, generatedText, mHost.isCppSelected(), {},
                                         pristineTextFor(filePath));
}

bool Generator::writeLibraryFiles(const QString& libraryFolder, const QDir& projectFolder,
                                  const QList<VelkorMdl*>& modules)
{
    return LibraryWriter::write(libraryFolder, QString(), QString(), projectFolder, modules,
                                Velkor::generatedFileNotice());
}

bool Generator::writeNewFile(const QString& path, const QString& text)
{
    QString content = text;
    if (Util::saveStringToFileDirectory(path, &content))
        return true;
    Dialogs::current().critical(QStringLiteral("Write Error"),
                                QStringLiteral("Unable to open file '") + path + QStringLiteral("' for writing."));
    return false;
}

bool Generator::writeHeader(const QDir& projectFolder, QString& header)
{
    const QString path = projectFolder.filePath(kHeaderName);
    if (QFileInfo::exists(path))
        return extractAndSaveUserCode(path, header);
    return writeNewFile(path, header);
}

bool Generator::writeSource(const QDir& projectFolder, QString& source)
{
    const QString cPath = projectFolder.filePath(kCName);
    const QString cppPath = projectFolder.filePath(kCppName);
    const bool cExists = QFileInfo::exists(cPath);
    const bool cppExists = QFileInfo::exists(cppPath);

    if (cExists && cppExists)
    {
        const QString answer = Dialogs::current().choose(
            QStringLiteral("Select Input File"),
            QStringLiteral("The specified directory includes a gsm_manager.cpp and gsm_manager.c file.\n\nPlease "
                           "choose which file to use when extracting 'USER CODE' sections."),
            {kCName, kCppName, QStringLiteral("Cancel")}, Dialogs::Icon::Information);
        if (answer == kCName)
            return extractAndSaveUserCode(cPath, source);
        if (answer == kCppName)
            return extractAndSaveUserCode(cppPath, source);
        Dialogs::current().critical(
            QStringLiteral("Write Error"),
            QStringLiteral("No gsm_manager file has been chosen. A new gsm_manager file will not be output with the "
                           "current project settings.\n\nPlease delete the gsm_manager file you do not need, or "
                           "select the correct file to be used when generating the code again."));
        return false;
    }
    if (cExists)
        return extractAndSaveUserCode(cPath, source);
    if (cppExists)
        return extractAndSaveUserCode(cppPath, source);
    return writeNewFile(mHost.isCppSelected() ? cppPath : cPath, source);
}

void Generator::offerStaleManagerFiles(const QDir& projectFolder)
{
    Dialogs& dialogs = Dialogs::current();
    const QString cPath = projectFolder.filePath(kCName);
    const QString cppPath = projectFolder.filePath(kCppName);
    if (mHost.isCppSelected() && QFileInfo::exists(cPath) &&
        dialogs.askYesNo(Dialogs::Icon::Question, kRemoveTitle,
                         QStringLiteral("The current settings will generate a 'C++' project. However, a "
                                        "'gsm_manager.c' file was found in the project path.\n\nWould you like to "
                                        "delete 'gsm_manager.c'?")))
        QFile::remove(cPath);
    if (mHost.isCSelected() && QFileInfo::exists(cppPath) &&
        dialogs.askYesNo(Dialogs::Icon::Question, kRemoveTitle,
                         QStringLiteral("The current settings will generate a 'C' project. However, a "
                                        "'gsm_manager.cpp' file was found in the project path.\n\nWould you like to "
                                        "delete 'gsm_manager.cpp'?")))
        QFile::remove(cppPath);
}

void Generator::offerStaleFolder(const QDir& projectFolder, Flavour flavour)
{
    Dialogs& dialogs = Dialogs::current();
    const bool arduino = flavour == Flavour::Arduino;
    const QString name = arduino ? Velkor::libraryName() : Velkor::arduinoSourceFolder();
    const QString path = projectFolder.filePath(name);
    // A "src" folder is this program's only when it holds the library of an earlier Arduino run:
    // many projects keep their own sources in one (and on a file system that ignores case, "Src" of
    // a CubeIDE project would match as well). Then only that library goes, and "src" itself only
    // when nothing else is left in it.
    const QString stale = arduino ? path : QDir(path).filePath(Velkor::libraryName());
    if (!QFileInfo(stale).isDir())
        return;
    const QString question =
        flavour == Flavour::Arduino
            ? QStringLiteral("The current settings will generate an Arduino compatible directory (src/Velkor). "
                             "However, a 'Velkor' folder was found in the project path.\n\nWould you like to delete "
                             "the 'Velkor' folder?\n\nNote: You can uncheck the 'Arduino Project' option to generate "
                             "the 'Velkor' folder in the top-level project directory")
            : QStringLiteral("The current settings will generate the 'Velkor' folder in the top-level project "
                             "directory. However, a 'src' folder was found in the project path, which may no longer "
                             "be required.\n\nWould you like to delete the 'src' folder?");
    if (!dialogs.askYesNo(Dialogs::Icon::Question, kRemoveTitle, question))
        return;
    bool removed = QDir(stale).removeRecursively();
    if (removed && !arduino && QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        removed = projectFolder.rmdir(name);
    if (!removed)
        dialogs.critical(QStringLiteral("Error Deleting Folder"),
                         QStringLiteral("Unable to delete '") + name + QStringLiteral("' folder."));
}

namespace
{
// Whether the generation may write `info`: the file system lets it, and (as root, whom the file
// system lets write anything) the file or folder has a write permission at all. A file made
// read-only is left alone whoever runs the generation.
bool mayWrite(const QFileInfo& info)
{
    const QFileDevice::Permissions write = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.isWritable() && (info.permissions() & write) != 0;
}
} // namespace

bool Generator::targetsWritable(const QDir& projectFolder) const
{
    Dialogs& dialogs = Dialogs::current();
    const bool cpp = mHost.isCppSelected();
    const QFileInfo library(projectFolder.filePath(libraryFolder(flavourOf(mHost))));
    for (const QString& name : {kHeaderName, cpp ? kCppName : kCName})
    {
        const QFileInfo file(projectFolder.filePath(name));
        if (file.exists() && !mayWrite(file))
        {
            dialogs.critical(QStringLiteral("Write Error"),
                             QStringLiteral("Unable to open file '") + file.filePath() + QStringLiteral("' for writing."));
            return false;
        }
    }
    // (circbuff.c and circbuff.h lie in the project folder: written after the library folder was
    // emptied, so a locked one would leave the manager without its library)
    const QStringList support = LibraryWriter::circularBufferFileNames();
    if ((library.exists() && !mayWrite(library)) ||
        std::any_of(support.cbegin(), support.cend(), [&](const QString& name) {
            const QFileInfo file(projectFolder.filePath(name));
            return file.exists() && !mayWrite(file);
        }))
    {
        dialogs.critical(QStringLiteral("Write Error"),
                         QStringLiteral("Failed to write library support files to specified directory."));
        return false;
    }
    return true;
}

bool Generator::run()
{
    Dialogs& dialogs = Dialogs::current();
    const QString path = mHost.projectPath();
    const QString pathError = QStringLiteral("Project Path Error");

    // 1, 2: the project folder is given and exists.
    if (path.isEmpty())
    {
        dialogs.critical(pathError,
                         QStringLiteral("Please specify a path for the project ('Save As') and then try again."));
        return false;
    }
    const QDir projectFolder(path);
    if (!projectFolder.exists())
    {
        dialogs.critical(
            pathError,
            QStringLiteral("The project path specified does not exist - please correct this and then try again."));
        return false;
    }

    // 3: the settings as the user left them (before the dependency check adds ticks).
    saveSettings();

    // 4: complete the selection; messages mean the user has to look at it first.
    const QStringList messages = checkDependencies();
    if (!messages.isEmpty())
    {
        dialogs.critical(QStringLiteral("Module Dependencies"), messages.join(QLatin1Char('\n')));
        return false;
    }

    // Before any code is written: the manager files and the library folder that this run replaces
    // must be writable. A run that stopped half way would leave a header that includes library files
    // it never wrote, or a library that the old manager does not use.
    if (!targetsWritable(projectFolder))
        return false;

    // 5, 6: the module list and the licence agreement document.
    const QList<VelkorMdl*> modules = mHost.checkedModules();
    // The licence goes to LICENSE.txt, replacing an earlier copy of it; a LICENSE.txt of the project's
    // own (one that does not name the library) is kept, and the library's licence is written beside it.
    QString license = Util::resourceText(QStringLiteral(":/license/resources/license/LICENSE.txt"));
    QString licensePath = path + QStringLiteral("/LICENSE.txt");
    {
        QFile existing(licensePath);
        if (existing.open(QIODevice::ReadOnly) && !existing.readAll().contains("Velkor"))
            licensePath = path + QStringLiteral("/Velkor_LICENSE.txt");
    }
    if (!Util::saveStringToFileDirectory(licensePath, &license))
    {
        dialogs.critical(QStringLiteral("Licensing Error"),
                         QStringLiteral("Unable to download LICENSE agreement. Please review folder write permissions."));
        return false;
    }

    // 7: the flavour; the Arduino layout exists only for C++.
    if (!mHost.isCppSelected())
        mHost.setArduinoTicked(false);
    const Flavour flavour = flavourOf(mHost);

    // 8 to 11: the manager texts.
    ManagerTexts texts = buildManagerTexts(modules, flavour, Velkor::generatedFileNotice());
    mPristine = pristineTexts(mHost, flavour);

    // 12, 13: the manager files, merged with what the user wrote in the existing ones.
    if (!writeHeader(projectFolder, texts.header))
        return false;
    if (!writeSource(projectFolder, texts.source))
        return false;

    // 14, 15: leftovers of another flavour.
    offerStaleManagerFiles(projectFolder);
    offerStaleFolder(projectFolder, flavour);

    // 16: the library itself.
    if (!writeLibraryFiles(libraryFolder(flavour), projectFolder, modules))
        return false;

    // 17.
    dialogs.information(QStringLiteral("Code Generated"), QStringLiteral("Code generated successfully."));
    return true;
}
