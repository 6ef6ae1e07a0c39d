#include "commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include "clidialogs.h"
#include "cliproject.h"
#include "dependencycheck.h"
#include "exampleexport.h"
#include "generator.h"
#include "librarywriter.h"
#include "projecttree.h"
#include "usercodemerge.h"
#include "velkorconstants.h"
#include "velkormdl.h"

namespace Commands
{
namespace
{
const QString kProgram = QStringLiteral("velkor-codegen");
const QString kHeaderName = QStringLiteral("gsm_manager.h");
const QString kCName = QStringLiteral("gsm_manager.c");
const QString kCppName = QStringLiteral("gsm_manager.cpp");
const QString kHttpClientId = QStringLiteral("HTTP_Client_SIMCom");

// ---------------------------------------------------------------------------------------------
// Command-line parsing

struct Parsed
{
    QStringList positional;
    QSet<QString> flags;
    QMap<QString, QString> values;
};

// Splits `arguments` into positional arguments, flags (`flagNames`) and options with a value
// (`valueNames`, given as "--name value" or "--name=value"). "--" ends the options.
bool parse(const QStringList& arguments, const QStringList& flagNames, const QStringList& valueNames, Parsed* parsed,
           QString* error)
{
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i)
    {
        const QString& arg = arguments[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-"))
        {
            parsed->positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--"))
        {
            optionsEnded = true;
            continue;
        }
        const int equals = arg.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? arg : arg.left(equals);
        if (flagNames.contains(name))
        {
            if (equals >= 0)
            {
                *error = QStringLiteral("Option ") + name + QStringLiteral(" takes no value.");
                return false;
            }
            parsed->flags.insert(name);
            continue;
        }
        if (valueNames.contains(name))
        {
            QString value;
            // A separate value never starts with '-': "--backup-dir --dry-run" forgot the folder,
            // and taking the flag as one would turn a dry run into a real one. A folder that does
            // start with '-' is given as --name=value or ./-name.
            if (equals >= 0)
                value = arg.mid(equals + 1);
            else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-')))
                value = arguments[++i];
            else
            {
                *error = QStringLiteral("Option ") + name + QStringLiteral(" needs a value.");
                return false;
            }
            if (parsed->values.contains(name))
            {
                *error = QStringLiteral("Option ") + name + QStringLiteral(" is given more than once.");
                return false;
            }
            parsed->values.insert(name, value);
            continue;
        }
        *error = QStringLiteral("Unknown option '") + arg + QStringLiteral("'.");
        return false;
    }
    return true;
}

int usageError(const QString& text)
{
    Console::err(kProgram + QStringLiteral(": ") + text + QStringLiteral("\nRun '") + kProgram +
                 QStringLiteral(" --help' for the commands and options."));
    return UsageError;
}

// Installs a Dialogs implementation for one command and removes it again.
class DialogsScope
{
public:
    explicit DialogsScope(Dialogs* dialogs) : mPrevious(Dialogs::install(dialogs)) {}
    ~DialogsScope() { Dialogs::install(mPrevious); }
    DialogsScope(const DialogsScope&) = delete;
    DialogsScope& operator=(const DialogsScope&) = delete;

private:
    Dialogs* mPrevious;
};

// ---------------------------------------------------------------------------------------------
// Modules

// The module list rows of the window, without the indentation that draws the tree there.
QString moduleTitle(const QString& id)
{
    static const QMap<QString, QString> titles{
        {QString(), QStringLiteral("Start")},
        {QStringLiteral("Power"), QStringLiteral("Power (PwrKey Based)")},
        {QStringLiteral("Prompt"), QStringLiteral("Prompt")},
        {QStringLiteral("BasicComms"), QStringLiteral("Basic Comms")},
        {QStringLiteral("Pin"), QStringLiteral("Pin")},
        {QStringLiteral("RSSI"), QStringLiteral("RSSI (Signal Quality)")},
        {QStringLiteral("NetworkRegistration"), QStringLiteral("Network Registration")},
        {QStringLiteral("SMS_Send"), QStringLiteral("SMS (Text Message) Send")},
        {QStringLiteral("SMS_Read"), QStringLiteral("SMS (Text Message) Receive")},
        {QStringLiteral("USSD"), QStringLiteral("USSD")},
        {QStringLiteral("InternetConnection_SIMCom"), QStringLiteral("Internet Connection (SIMCom LTE)")},
        {QStringLiteral("InternetConnection_SIMCom2G"), QStringLiteral("Internet Connection (SIMCom 2G)")},
        {QStringLiteral("HTTP_Client_SIMCom"), QStringLiteral("HTTP Client (SIMCom)")},
        {QStringLiteral("MQTT_Client_SIMCom"), QStringLiteral("MQTT Client (SIMCom)")},
    };
    return titles.value(id, id);
}

QStringList selectableIds(CliProject& project)
{
    QStringList ids;
    for (VelkorMdl* module : project.allModules())
        if (!module->id().isEmpty())
            ids << module->id();
    return ids;
}

QStringList idsWithExamples(CliProject& project)
{
    ExampleExport exporter(project, QString());
    QStringList ids;
    for (const QString& id : selectableIds(project))
        if (QFile::exists(exporter.archivePath(id)))
            ids << id;
    return ids;
}

QString jsonText(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble())
        return VelkorMdl::sizeText(value.toDouble());
    if (value.isString())
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    return QStringLiteral("null");
}

// ---------------------------------------------------------------------------------------------
// Project loading

// Loads the project folder into `project`. Returns Success or the exit code after a message.
int loadProject(const QString& folder, CliProject& project)
{
    QString detail;
    bool languageFound = false;
    switch (project.load(folder, &detail, &languageFound))
    {
    case CliProject::LoadStatus::Loaded:
        break;
    case CliProject::LoadStatus::FolderMissing:
        Console::err(QStringLiteral("Project Path Error: ") + detail + QStringLiteral(" (") + folder +
                     QStringLiteral(")"));
        return ProjectError;
    case CliProject::LoadStatus::FileMissing:
        Console::err(QStringLiteral("Error Opening Project: ") + detail + QStringLiteral(" (") +
                     QDir(folder).filePath(Velkor::settingsFileName()) + QStringLiteral(" is missing)"));
        return ProjectError;
    case CliProject::LoadStatus::Unreadable:
        Console::err(QStringLiteral("Read Error: ") + detail);
        return ProjectError;
    case CliProject::LoadStatus::Malformed:
        Console::err(QStringLiteral("Error Opening Project: ") + detail);
        return ProjectError;
    }
    if (!languageFound)
        Console::err(QStringLiteral("Note: the project settings file has no \"Language\" entry; the project is "
                                    "generated as C, as the window does after opening it."));
    return Success;
}

// The exit code of a generation run. A run that reported a failure and still went on to the end
// (a stale folder that could not be deleted) has not done everything it was asked to: that is a
// failure too, not a success.
int exitCodeAfterRun(bool completed, const CliDialogs& dialogs)
{
    if (completed && !dialogs.anyCritical())
        return Success;
    return dialogs.lastCriticalTitle() == QLatin1String("Module Dependencies") ? DependencyIssue : Failed;
}

// ---------------------------------------------------------------------------------------------
// generate

struct GenerateOptions
{
    QString folder;
    bool deleteStale = false;
    QString sourceFile; // gsm_manager.c / gsm_manager.cpp, or empty
    QString backupDir;
    bool noArduino = false;
    bool dryRun = false;
};

// Works out, without writing anything, whether the run would have to ask something the command
// line has not answered, or would lose user code. Returns Success when the run may start.
int preflight(CliProject& project, const GenerateOptions& options)
{
    // The dependency check runs on a copy: the run itself saves the selection as it was before the
    // check, as the window does.
    CliProject probe;
    probe.copyFrom(project);
    if (!DependencyCheck::run(probe).isEmpty())
        return Success; // the run stops at the dependency check, after saving the settings as the window does

    const QDir folder(options.folder);
    const QString cPath = folder.filePath(kCName);
    const QString cppPath = folder.filePath(kCppName);
    const bool cExists = QFileInfo::exists(cPath);
    const bool cppExists = QFileInfo::exists(cppPath);
    if (cExists && cppExists && options.sourceFile.isEmpty())
    {
        Console::err(QStringLiteral("Select Input File: The specified directory includes a gsm_manager.cpp and "
                                    "gsm_manager.c file.\n\nPlease choose which file to use when extracting 'USER "
                                    "CODE' sections.\n\nNothing was written. Run again with --source c or --source "
                                    "cpp (or delete the gsm_manager file you do not need)."));
        return SourceAmbiguous;
    }

    const bool cpp = probe.isCppSelected();
    if (!cpp)
        probe.setArduinoTicked(false);
    const Generator::Flavour flavour = Generator::flavourOf(probe);
    const Generator::ManagerTexts texts =
        Generator::buildManagerTexts(probe.checkedModules(), flavour, Velkor::generatedFileNotice());
    const Generator::ManagerTexts pristine = Generator::pristineTexts(probe, flavour);

    QString existingSource;
    if (cExists && cppExists)
        existingSource = options.sourceFile == kCName ? cPath : cppPath;
    else if (cExists)
        existingSource = cPath;
    else if (cppExists)
        existingSource = cppPath;

    const QList<Generator::FilePreview> previews{
        Generator::previewFile(folder.filePath(kHeaderName), texts.header, folder.filePath(kHeaderName), cpp,
                               pristine.header),
        Generator::previewFile(existingSource, texts.source, cpp ? cppPath : cPath, cpp, pristine.source)};

    QStringList lost;
    for (const Generator::FilePreview& preview : previews)
    {
        if (preview.readFailed)
        {
            Console::err(QStringLiteral("Read Error: Error encountered while trying to save 'USER CODE' "
                                        "sections.\n\nUnable to open file '") +
                         preview.readPath + QStringLiteral("' for reading.\n\nNothing was written."));
            return Failed;
        }
        const QString fileName = QFileInfo(preview.readPath).fileName();
        for (const QString& region : preview.droppedRegions)
            lost << QStringLiteral("  ") + fileName + QStringLiteral(": USER CODE ") + region;
        if (!preview.droppedRegions.isEmpty() && !options.backupDir.isEmpty() &&
            UserCodeMerge::backupFolderAtRisk(options.backupDir, folder.absolutePath()))
            return usageError(QStringLiteral("--backup-dir must not be the project folder or its library folder: "
                                             "the code generation writes and deletes files there, so the backup "
                                             "copy of ") +
                              fileName + QStringLiteral(" could be overwritten or deleted."));
    }
    if (lost.isEmpty())
        return Success;

    if (options.backupDir.isEmpty())
    {
        Console::err(QStringLiteral("Warning: 'USER CODE' sections of the existing files are no longer being "
                                    "generated. This can occur when a library module (that was previously included) "
                                    "has been removed from the 'Library Modules' list, or when a section's BEGIN or "
                                    "END marker is missing or doubled (marker text inside your own code ends a "
                                    "section early). These sections would be lost:\n") +
                     lost.join(QLatin1Char('\n')) +
                     QStringLiteral("\n\nNothing was written. Run again with --backup-dir DIR to save a copy of the "
                                    "old file(s) in DIR and generate, or put the modules back into the project."));
        return UserCodeAtRisk;
    }
    if (!options.dryRun && !QDir().mkpath(options.backupDir))
    {
        Console::err(QStringLiteral("Error Creating Directory: Unable to create directory ") + options.backupDir +
                     QStringLiteral(" for the backup copies. Nothing was written."));
        return Failed;
    }
    Console::out(QStringLiteral("These 'USER CODE' sections are no longer generated; the old file(s) ") +
                 (options.dryRun ? QStringLiteral("would be saved in ") : QStringLiteral("are saved in ")) +
                 options.backupDir + QStringLiteral(":\n") + lost.join(QLatin1Char('\n')));
    return Success;
}

CliDialogs::Answers answersFor(const GenerateOptions& options)
{
    CliDialogs::Answers answers;
    answers.deleteStale = options.deleteStale;
    answers.sourceFile = options.sourceFile;
    answers.backupFolder = options.backupDir;
    return answers;
}

int generateForReal(CliProject& project, const GenerateOptions& options)
{
    CliDialogs dialogs(answersFor(options));
    DialogsScope scope(&dialogs);
    Generator generator(project);
    const bool completed = generator.run();
    return exitCodeAfterRun(completed, dialogs);
}

// Runs the generation on a scratch copy of the project folder and lists what it changed there.
int generateDryRun(CliProject& project, const GenerateOptions& options)
{
    QTemporaryDir scratch;
    QString error;
    const QString copyFolder = scratch.path() + QStringLiteral("/project");
    const QString backupFolder = scratch.path() + QStringLiteral("/backup");
    if (!scratch.isValid() || !QDir().mkpath(copyFolder) || !QDir().mkpath(backupFolder))
    {
        Console::err(QStringLiteral("Dry run: unable to create a scratch folder."));
        return Failed;
    }
    // Only what a generation can touch is copied (a project folder may hold build output, or a link
    // to a whole SDK, that a run never reads).
    const QStringList targets = QStringList{Velkor::settingsFileName(),
                                            QStringLiteral("LICENSE.txt"),
                                            QStringLiteral("Velkor_LICENSE.txt"),
                                            QStringLiteral("gsm_manager.h"),
                                            QStringLiteral("gsm_manager.c"),
                                            QStringLiteral("gsm_manager.cpp"),
                                            Velkor::libraryName()} +
                                LibraryWriter::circularBufferFileNames();
    if (!ProjectTree::copySelection(options.folder, copyFolder, targets, Velkor::arduinoSourceFolder(),
                                    Velkor::libraryName(), &error))
    {
        Console::err(QStringLiteral("Dry run: ") + error);
        return Failed;
    }
    QMap<QString, ProjectTree::Entry> before;
    if (!ProjectTree::snapshot(copyFolder, &before, &error))
    {
        Console::err(QStringLiteral("Dry run: ") + error);
        return Failed;
    }

    CliDialogs::Answers answers = answersFor(options);
    if (!answers.backupFolder.isEmpty())
        answers.backupFolder = backupFolder;
    CliDialogs dialogs(answers);
    dialogs.addPathMapping(copyFolder, options.folder);
    dialogs.addPathMapping(backupFolder, options.backupDir);
    dialogs.setQuiet(true);
    project.setProjectPath(copyFolder);
    bool ok = false;
    {
        DialogsScope scope(&dialogs);
        Generator generator(project);
        ok = generator.run();
    }
    project.setProjectPath(options.folder);

    QMap<QString, ProjectTree::Entry> after;
    QMap<QString, ProjectTree::Entry> backups;
    if (!ProjectTree::snapshot(copyFolder, &after, &error) || !ProjectTree::snapshot(backupFolder, &backups, &error))
    {
        Console::err(QStringLiteral("Dry run: ") + error);
        return Failed;
    }

    QStringList lines;
    for (const ProjectTree::Change& change : ProjectTree::compare(before, after))
    {
        const char* verb = change.kind == ProjectTree::Change::Kind::Created   ? "create "
                           : change.kind == ProjectTree::Change::Kind::Changed ? "change "
                                                                               : "delete ";
        lines << QLatin1String(verb) + change.path;
    }
    for (auto it = backups.cbegin(); it != backups.cend(); ++it)
        lines << QStringLiteral("backup ") + QDir(options.backupDir).filePath(it.key());

    Console::out(QStringLiteral("Dry run: nothing was written. ") +
                 (ok && !dialogs.anyCritical() ? QStringLiteral("Generating would change:")
                     : QStringLiteral("Generating would report the error above, after changing:")));
    Console::out(lines.isEmpty() ? QStringLiteral("(nothing)") : lines.join(QLatin1Char('\n')));
    return exitCodeAfterRun(ok, dialogs);
}

int commandGenerate(const QStringList& arguments)
{
    Parsed parsed;
    QString error;
    if (!parse(arguments,
               {QStringLiteral("--delete-stale"), QStringLiteral("--keep-stale"), QStringLiteral("--dry-run"),
                QStringLiteral("--no-arduino")},
               {QStringLiteral("--source"), QStringLiteral("--backup-dir")}, &parsed, &error))
        return usageError(error);
    if (parsed.positional.size() != 1)
        return usageError(QStringLiteral("generate takes exactly one PROJECT_DIR."));
    if (parsed.flags.contains(QStringLiteral("--delete-stale")) && parsed.flags.contains(QStringLiteral("--keep-stale")))
        return usageError(QStringLiteral("--delete-stale and --keep-stale exclude each other."));

    GenerateOptions options;
    options.folder = parsed.positional[0];
    options.deleteStale = parsed.flags.contains(QStringLiteral("--delete-stale"));
    options.noArduino = parsed.flags.contains(QStringLiteral("--no-arduino"));
    options.dryRun = parsed.flags.contains(QStringLiteral("--dry-run"));
    if (parsed.values.contains(QStringLiteral("--source")))
    {
        const QString source = parsed.values.value(QStringLiteral("--source"));
        if (source == QLatin1String("c"))
            options.sourceFile = kCName;
        else if (source == QLatin1String("cpp"))
            options.sourceFile = kCppName;
        else
            return usageError(QStringLiteral("--source takes c or cpp, not '") + source + QStringLiteral("'."));
    }
    if (parsed.values.contains(QStringLiteral("--backup-dir")))
    {
        options.backupDir = parsed.values.value(QStringLiteral("--backup-dir"));
        if (options.backupDir.isEmpty())
            return usageError(QStringLiteral("--backup-dir needs a folder."));
        if (QFileInfo::exists(options.backupDir) && !QFileInfo(options.backupDir).isDir())
            return usageError(QStringLiteral("--backup-dir '") + options.backupDir +
                              QStringLiteral("' is not a folder."));
    }
    if (options.folder.isEmpty())
    {
        Console::err(QStringLiteral("Project Path Error: Please specify a path for the project ('Save As') and then "
                                    "try again."));
        return ProjectError;
    }

    CliProject project;
    const int loaded = loadProject(options.folder, project);
    if (loaded != Success)
        return loaded;
    // The settings file holds the layout of a C++ project (an older file without it: Arduino);
    // --no-arduino overrides it. For C it is unticked anyway.
    if (options.noArduino)
        project.setArduinoTicked(false);

    const int ready = preflight(project, options);
    if (ready != Success)
        return ready;
    return options.dryRun ? generateDryRun(project, options) : generateForReal(project, options);
}

// ---------------------------------------------------------------------------------------------
// check

int commandCheck(const QStringList& arguments)
{
    Parsed parsed;
    QString error;
    if (!parse(arguments, {}, {}, &parsed, &error))
        return usageError(error);
    if (parsed.positional.size() != 1)
        return usageError(QStringLiteral("check takes exactly one PROJECT_DIR."));
    CliProject project;
    const int loaded = loadProject(parsed.positional[0], project);
    if (loaded != Success)
        return loaded;

    const QList<VelkorMdl*> before = project.checkedModules();
    const QStringList messages = DependencyCheck::run(project);
    QStringList added;
    for (VelkorMdl* module : project.checkedModules())
        if (!before.contains(module))
            added << QStringLiteral("  ") + module->id() + QStringLiteral(" (") + moduleTitle(module->id()) +
                         QStringLiteral(")");
    if (!added.isEmpty())
        Console::out(QStringLiteral("The dependency check adds these modules:\n") + added.join(QLatin1Char('\n')));
    if (messages.isEmpty())
    {
        Console::out(QStringLiteral("No dependency messages: generation would proceed."));
        return Success;
    }
    Console::out(QStringLiteral("Module Dependencies: ") + messages.join(QLatin1Char('\n')));
    Console::out(QStringLiteral("Generation would stop at the dependency check."));
    return DependencyIssue;
}

// ---------------------------------------------------------------------------------------------
// export-example, export-manual, list-modules

bool makeFolder(const QString& folder)
{
    if (QDir().mkpath(folder) && QFileInfo(folder).isDir())
        return true;
    Console::err(QStringLiteral("Error Creating Directory: Unable to create directory ") + folder +
                 QStringLiteral("."));
    return false;
}

int commandExportExample(const QStringList& arguments)
{
    Parsed parsed;
    QString error;
    if (!parse(arguments, {}, {QStringLiteral("--connection")}, &parsed, &error))
        return usageError(error);
    if (parsed.positional.size() != 2)
        return usageError(QStringLiteral("export-example takes a MODULE_ID and a DIR."));
    const QString id = parsed.positional[0];
    const QString folder = parsed.positional[1];

    CliProject host;
    VelkorMdl* module = id.isEmpty() ? nullptr : host.moduleById(id);
    if (!module)
        return usageError(QStringLiteral("Unknown module id '") + id + QStringLiteral("'. Module ids: ") +
                          selectableIds(host).join(QStringLiteral(", ")) + QLatin1Char('.'));
    ExampleExport exporter(host, Velkor::generatedFileNotice());
    if (!QFile::exists(exporter.archivePath(id)))
        return usageError(QStringLiteral("Module '") + id +
                          QStringLiteral("' has no example projects. Modules with examples: ") +
                          idsWithExamples(host).join(QStringLiteral(", ")) + QLatin1Char('.'));

    CliDialogs::Answers answers;
    const bool connectionGiven = parsed.values.contains(QStringLiteral("--connection"));
    if (id == kHttpClientId)
    {
        const QString connection = parsed.values.value(QStringLiteral("--connection"));
        if (connection == QLatin1String("lte"))
            answers.connection = QStringLiteral("SIMCom LTE");
        else if (connection == QLatin1String("2g"))
            answers.connection = QStringLiteral("SIMCom 2G");
        else if (!connectionGiven)
            return usageError(QStringLiteral("LTE or 2G: Does your HTTP application require the 'Internet Connection "
                                             "(SIMCom 2G)' module or the 'Internet Connection (SIMCom LTE)' module? "
                                             "Give --connection lte or --connection 2g."));
        else
            return usageError(QStringLiteral("--connection takes lte or 2g, not '") + connection +
                              QStringLiteral("'."));
    }
    else if (connectionGiven)
        return usageError(QStringLiteral("--connection applies only to ") + kHttpClientId + QLatin1Char('.'));

    if (!makeFolder(folder))
        return Failed;
    answers.folder = folder;
    CliDialogs dialogs(answers);
    DialogsScope scope(&dialogs);
    return exporter.downloadExample(module) == ExampleExport::Result::Downloaded ? Success : Failed;
}

int commandExportManual(const QStringList& arguments)
{
    Parsed parsed;
    QString error;
    if (!parse(arguments, {}, {}, &parsed, &error))
        return usageError(error);
    if (parsed.positional.size() != 1)
        return usageError(QStringLiteral("export-manual takes exactly one DIR."));
    const QString folder = parsed.positional[0];
    if (!makeFolder(folder))
        return Failed;

    CliDialogs::Answers answers;
    answers.folder = folder;
    CliDialogs dialogs(answers);
    DialogsScope scope(&dialogs);
    const QString written = ExampleExport::downloadUserManual();
    if (written.isEmpty())
    {
        if (!dialogs.anyCritical()) // (a failed copy has been reported by its box)
            Console::err(QStringLiteral("Write Error: Unable to open file '") +
                         QDir(folder).filePath(ExampleExport::userManualFileName()) + QStringLiteral("' for writing."));
        return Failed;
    }
    Console::out(QStringLiteral("User manual written to ") + written);
    return Success;
}

int commandListModules(const QStringList& arguments)
{
    Parsed parsed;
    QString error;
    if (!parse(arguments, {}, {}, &parsed, &error))
        return usageError(error);
    if (!parsed.positional.isEmpty())
        return usageError(QStringLiteral("list-modules takes no arguments."));

    CliProject fresh; // every module at its defaults
    const QStringList withExamples = idsWithExamples(fresh);
    QStringList lines;
    lines << QStringLiteral("%1 %2 %3")
                 .arg(QStringLiteral("ID"), -28)
                 .arg(QStringLiteral("TITLE"), -34)
                 .arg(QStringLiteral("EXAMPLES"));
    for (VelkorMdl* module : fresh.allModules())
    {
        const QString id = module->id();
        lines << QStringLiteral("%1 %2 %3")
                     .arg(id.isEmpty() ? QStringLiteral("\"\" (always generated)") : id, -28)
                     .arg(moduleTitle(id), -34)
                     .arg(withExamples.contains(id) ? QStringLiteral("yes") : QStringLiteral("no"));
        QJsonObject root;
        module->settingsSave(root);
        for (auto object = root.constBegin(); object != root.constEnd(); ++object)
        {
            const QJsonObject options = object.value().toObject();
            for (auto option = options.constBegin(); option != options.constEnd(); ++option)
                lines << QStringLiteral("    ") + object.key() + QLatin1Char('.') + option.key() +
                             QStringLiteral(" = ") + jsonText(option.value()) + QStringLiteral(" (default)");
        }
    }
    Console::out(lines.join(QLatin1Char('\n')));
    return Success;
}
} // namespace

QString usage()
{
    return QStringLiteral(
        "Usage: velkor-codegen COMMAND [ARGUMENTS] [OPTIONS]\n"
        "\n"
        "Regenerates Velkor modem library projects from their project settings file\n"
        "(.velkor_codegenerator_settings), on the same code path as the \"Generate Code\" button\n"
        "of the velkor-codegenerator window.\n"
        "\n"
        "Commands:\n"
        "  generate PROJECT_DIR   Write exactly what \"Generate Code\" writes for the project: the\n"
        "                         settings file, LICENSE.txt, gsm_manager.h, gsm_manager.c or .cpp\n"
        "                         (USER CODE carried over) and the library files.\n"
        "      --keep-stale       Keep a gsm_manager.c / .cpp or a 'Velkor' / 'src' folder left over\n"
        "                         from another output flavour (the default).\n"
        "      --delete-stale     Delete them (a 'Velkor' folder with everything in it; of 'src'\n"
        "                         only 'src/Velkor', and 'src' when it is then empty; --dry-run\n"
        "                         lists them first).\n"
        "      --source c|cpp     When gsm_manager.c and gsm_manager.cpp both exist: the file whose\n"
        "                         USER CODE is carried over. Required in that case. The manager\n"
        "                         source of the project's language is written with that code, also\n"
        "                         when it is the other file.\n"
        "      --backup-dir DIR   When USER CODE sections of the existing files would be dropped (a\n"
        "                         module was removed, or a section marker is missing or doubled), save\n"
        "                         a copy of each such file in DIR and go on. Without it nothing is\n"
        "                         written and the sections are listed. DIR must not be the project\n"
        "                         folder or its library folder (Velkor, src/Velkor).\n"
        "      --no-arduino       C++ projects: put the library in 'Velkor' instead of 'src/Velkor'\n"
        "                         (the window's \"Arduino Project\" box unticked). Without it the\n"
        "                         settings file decides; an older one without that choice means\n"
        "                         'src/Velkor'.\n"
        "      --dry-run          List every file that would be created, changed or deleted, and\n"
        "                         write nothing.\n"
        "  check PROJECT_DIR      Run the module dependency check on the stored selection and print\n"
        "                         its messages. Writes nothing.\n"
        "  export-example MODULE_ID DIR [--connection lte|2g]\n"
        "                         Unpack the module's example projects into DIR, completed with the\n"
        "                         library files. --connection is required for HTTP_Client_SIMCom.\n"
        "  export-manual DIR      Copy the user manual (Velkor User Manual.pdf) into DIR.\n"
        "  list-modules           List the module ids, titles, options and their defaults.\n"
        "\n"
        "  --help                 Show this text.\n"
        "  --version              Show the version.\n"
        "\n"
        "Messages are printed in the words of the window's message boxes: errors and warnings on\n"
        "standard error, everything else on standard output.\n"
        "\n"
        "Exit codes:\n"
        "  0  success (check: the dependency check has nothing to report)\n"
        "  1  a step failed (a file could not be written, for instance); the message says which\n"
        "  2  bad command line: unknown command or option, missing or bad argument, unknown module id\n"
        "  3  the project folder does not exist, or its settings file is missing, unreadable or malformed\n"
        "  4  the dependency check reported messages: generation does not proceed\n"
        "  5  USER CODE sections would be dropped and no --backup-dir was given; nothing was written\n"
        "  6  gsm_manager.c and gsm_manager.cpp both exist and no --source was given; nothing was written\n"
        "With --dry-run, generate exits with the code the real run would give.\n");
}

int run(const QStringList& arguments)
{
    // (after "--" every argument is a name: a folder may be called "--help")
    const QStringList options = arguments.mid(0, arguments.contains(QStringLiteral("--"))
                                                     ? arguments.indexOf(QStringLiteral("--"))
                                                     : arguments.size());
    if (options.contains(QStringLiteral("--help")) || options.contains(QStringLiteral("-h")) ||
        arguments.value(0) == QLatin1String("help"))
    {
        Console::out(usage());
        return Success;
    }
    if (options.contains(QStringLiteral("--version")))
    {
        Console::out(kProgram + QLatin1Char(' ') + Velkor::version());
        return Success;
    }
    if (arguments.isEmpty())
    {
        Console::err(usage());
        return UsageError;
    }

    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("generate"))
        return commandGenerate(rest);
    if (command == QLatin1String("check"))
        return commandCheck(rest);
    if (command == QLatin1String("export-example"))
        return commandExportExample(rest);
    if (command == QLatin1String("export-manual"))
        return commandExportManual(rest);
    if (command == QLatin1String("list-modules"))
        return commandListModules(rest);
    return usageError(QStringLiteral("Unknown command '") + command + QStringLiteral("'."));
}
} // namespace Commands
