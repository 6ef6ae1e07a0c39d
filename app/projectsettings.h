#ifndef PROJECTSETTINGS_H
#define PROJECTSETTINGS_H

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class ProjectHost;

// The project settings file ".velkor_codegenerator_settings" and the project commands New, Open, Save
// and Save As, working on any ProjectHost (the main window, a test's fake, a command-line record).
//
// The file is a JSON object: "Language" ("C++" or "C"), "CheckedModules" (the id of the Start module,
// which is the empty string, then the id of every ticked module in registry order) and one settings
// object per module that has options, written by the module itself. It is written with the keys
// sorted and four-space indentation, and replaced atomically, so a failed save never leaves a
// truncated file behind.
//
// The commands ask and tell the user through Dialogs::current().
class ProjectSettings
{
public:
    // The settings file inside `projectFolder`.
    static QString filePath(const QString& projectFolder);

    // The root object for the host's current state (language, ticks, every module's options).
    static QJsonObject build(ProjectHost& host);
    // The file content for `root`: indented JSON with sorted keys, ending with a line end.
    static QByteArray toText(const QJsonObject& root);

    // Writes the settings file into the host's project folder. False when the folder does not exist or
    // the file could not be written completely (an existing file is then unchanged).
    static bool save(ProjectHost& host);

    // Reads the settings file of the host's project folder and applies it. False when the folder or
    // file is missing or unreadable, or the content is not a JSON object (nothing changes then), and
    // also when the object holds no string "Language" (the rest is still applied).
    // `unusable`, when given, is set when a settings file exists but cannot be read or is not a JSON
    // object (the window is then left as it was).
    static bool load(ProjectHost& host, bool* unusable = nullptr);

    // Applies a parsed root object: language, ticks (every module unticked first, then the listed
    // ids ticked; unknown ids and non-strings skipped), each module's own settings, then the host's
    // applySettingsFromModules(). Returns whether "Language" was a string.
    static bool apply(ProjectHost& host, const QJsonObject& root);

    // The project commands as the buttons of the same names run them.
    static void commandNew(ProjectHost& host);
    static void commandOpen(ProjectHost& host);
    static void commandSave(ProjectHost& host);
    static void commandSaveAs(ProjectHost& host);
};

#endif // PROJECTSETTINGS_H
