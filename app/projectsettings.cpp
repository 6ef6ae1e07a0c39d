#include "projectsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include "dialogs.h"
#include "projecthost.h"
#include "util.h"
#include "velkorconstants.h"
#include "velkormdl.h"

QString ProjectSettings::filePath(const QString& projectFolder)
{
    return QDir(projectFolder).filePath(Velkor::settingsFileName());
}

QJsonObject ProjectSettings::build(ProjectHost& host)
{
    QJsonObject root;
    root.insert(QStringLiteral("Language"), host.isCppSelected() ? QStringLiteral("C++") : QStringLiteral("C"));
    // The layout of a C++ project: opening it again must not move the library (older files without
    // the member open in the Arduino layout).
    if (host.isCppSelected())
        root.insert(QStringLiteral("Arduino"), host.isArduinoTicked());
    QJsonArray checked;
    for (VelkorMdl* module : host.checkedModules())
        checked.append(module->id());
    root.insert(QStringLiteral("CheckedModules"), checked);
    for (VelkorMdl* module : host.allModules())
        module->settingsSave(root);
    return root;
}

QByteArray ProjectSettings::toText(const QJsonObject& root)
{
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool ProjectSettings::save(ProjectHost& host)
{
    QString text = QString::fromUtf8(toText(build(host)));
    const QDir folder(host.projectPath());
    if (!folder.exists())
        return false;
    // Replaced whole and atomically: a failed write leaves the previous file as it was.
    return Util::saveStringToFileDirectory(filePath(host.projectPath()), &text);
}

bool ProjectSettings::load(ProjectHost& host, bool* unusable)
{
    const QDir folder(host.projectPath());
    if (unusable)
        *unusable = false;
    if (!folder.exists())
        return false;
    QFile file(filePath(host.projectPath()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    {
        if (unusable)
            *unusable = file.exists();
        return false;
    }
    const QByteArray content = file.readAll();
    file.close();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    // A root that is not an object is as unusable as a parse error: applying it would untick every
    // module and change nothing else, so the window is left as it was.
    if (document.isNull() || !document.isObject())
    {
        if (unusable)
            *unusable = true;
        return false;
    }
    return apply(host, document.object());
}

bool ProjectSettings::apply(ProjectHost& host, const QJsonObject& constRoot)
{
    QJsonObject root = constRoot; // the module interface takes the object by reference
    const QJsonValue language = root.value(QStringLiteral("Language"));
    const bool languageFound = language.isString();
    if (languageFound)
    {
        const bool cpp = language.toString() != QLatin1String("C");
        host.selectLanguage(cpp);
        const QJsonValue arduino = root.value(QStringLiteral("Arduino"));
        if (cpp && arduino.isBool())
            host.setArduinoTicked(arduino.toBool());
    }

    const QList<VelkorMdl*> modules = host.allModules();
    for (VelkorMdl* module : modules)
        host.setModuleChecked(module, false);
    const QJsonValue checked = root.value(QStringLiteral("CheckedModules"));
    if (checked.isArray())
    {
        for (const QJsonValue& entry : checked.toArray())
        {
            if (!entry.isString())
                continue;
            if (VelkorMdl* module = host.moduleById(entry.toString()))
                host.setModuleChecked(module, true);
        }
    }

    // Options start from their defaults, so that an option the file lacks is the same in every
    // window and in the command line, not whatever the project open before had.
    for (VelkorMdl* module : modules)
    {
        module->settingsDefaults();
        module->settingsLoad(root);
    }
    host.applySettingsFromModules();
    return languageFound;
}

namespace
{
void reportSaveFailure(ProjectHost& host)
{
    Dialogs::current().critical(QStringLiteral("Write Error"),
                                QStringLiteral("Unable to open file '") + ProjectSettings::filePath(host.projectPath()) +
                                    QStringLiteral("' for writing."));
}

void saveAndConfirm(ProjectHost& host)
{
    if (ProjectSettings::save(host))
        Dialogs::current().information(QStringLiteral("Project Saved"), QStringLiteral("Project settings saved."));
    else
        reportSaveFailure(host);
}
} // namespace

void ProjectSettings::commandNew(ProjectHost& host)
{
    const QString folder = Dialogs::current().chooseFolder(Dialogs::Owner::MainWindow);
    if (folder.isEmpty())
        return;
    host.setProjectPath(folder);
    host.selectLanguage(false);
    const QList<VelkorMdl*> modules = host.allModules();
    for (VelkorMdl* module : modules)
        host.setModuleChecked(module, false);
    for (VelkorMdl* module : modules)
        module->settingsDefaults();
    host.applySettingsFromModules();
}

void ProjectSettings::commandOpen(ProjectHost& host)
{
    const QString folder = Dialogs::current().chooseFolder(Dialogs::Owner::MainWindow);
    if (folder.isEmpty())
        return;
    if (!QFileInfo::exists(filePath(folder)))
    {
        Dialogs::current().critical(QStringLiteral("Error Opening Project"),
                                    QStringLiteral("Velkor project settings not found at the specified path."));
        return;
    }
    host.setProjectPath(folder);
    bool unusable = false;
    load(host, &unusable);
    if (unusable)
    {
        // The folder is the project now, with the choices the window had: say so, because the next
        // Save or Generate Code replaces the file with them.
        Dialogs::current().critical(QStringLiteral("Error Opening Project"),
                                    QStringLiteral("The Velkor project settings at the specified path could not be read. "
                                                   "The window keeps its present choices; Save and Generate Code "
                                                   "replace the settings file with them."));
    }
}

void ProjectSettings::commandSaveAs(ProjectHost& host)
{
    const QString folder = Dialogs::current().chooseFolder(Dialogs::Owner::MainWindow);
    if (folder.isEmpty())
        return;
    host.setProjectPath(folder);
    saveAndConfirm(host);
}

void ProjectSettings::commandSave(ProjectHost& host)
{
    if (host.projectPath().isEmpty())
    {
        commandSaveAs(host);
        return;
    }
    if (!QDir(host.projectPath()).exists())
    {
        Dialogs::current().critical(
            QStringLiteral("Project Path Error"),
            QStringLiteral("The project path specified does not exist - please correct this and then try again."));
        return;
    }
    saveAndConfirm(host);
}
