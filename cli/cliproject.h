#ifndef CLIPROJECT_H
#define CLIPROJECT_H

#include <QSet>
#include <QString>

#include "projecthost.h"
#include "velkormodules.h"

// The project as the command-line front end sees it: a plain record of the fourteen module objects,
// their ticks and the language options, filled from the project settings file with the same code the
// window uses for Open. It starts in the state of a freshly started window (C selected, the form's
// default ticks, every module at its defaults), so that opening a project here gives exactly the
// state the window shows after opening the same project.
class CliProject final : public ProjectHost
{
public:
    enum class LoadStatus
    {
        Loaded,
        FolderMissing, // the project folder does not exist (or is not a folder)
        FileMissing,   // no settings file in the folder
        Unreadable,    // the settings file exists but cannot be read
        Malformed      // not JSON, or JSON whose root is not an object
    };

    CliProject();

    // Reads the settings file of `folder` and applies it (language, ticks, module options). On any
    // status but Loaded nothing has changed and `detail` says what was wrong. `languageFound` tells
    // whether the file held a string "Language" (without one the language stays C, as in the window).
    LoadStatus load(const QString& folder, QString* detail, bool* languageFound);

    // Makes this record an independent copy of `other` (path, language, ticks, module options), so
    // that checks can run the dependency rules without touching the project that is generated.
    void copyFrom(CliProject& other);

    // ProjectHost
    QString projectPath() const override { return mPath; }
    void setProjectPath(const QString& path) override { mPath = path; }
    bool isCSelected() const override { return mC; }
    bool isCppSelected() const override { return mCpp; }
    bool isArduinoTicked() const override { return mArduino; }
    void setArduinoTicked(bool ticked) override { mArduino = ticked; }
    void selectLanguage(bool cpp) override;
    QList<VelkorMdl*> allModules() const override { return mModules.all(); }
    bool isModuleChecked(VelkorMdl* module) const override { return mChecked.contains(module); }
    void setModuleChecked(VelkorMdl* module, bool checked) override;
    void applySettingsFromModules() override;

    VelkorModules& modules() { return mModules; }

private:
    VelkorModules mModules;
    QString mPath;
    bool mC = true;
    bool mCpp = false;
    bool mArduino = false;
    QSet<VelkorMdl*> mChecked;
};

#endif // CLIPROJECT_H
