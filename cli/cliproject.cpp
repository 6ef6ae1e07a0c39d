#include "cliproject.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

#include "projectsettings.h"

namespace
{
// The range of the window's buffer size boxes. A size they cannot show is shown clamped and the
// module takes the shown value, so generation uses the clamped size; this record does the same.
constexpr int kSizeMinimum = 8;
constexpr int kSizeMaximum = 429496729;

void clampSize(double& size)
{
    if (!(size >= kSizeMinimum)) // also catches NaN
        size = kSizeMinimum;
    else if (size > kSizeMaximum)
        size = kSizeMaximum;
    else
        size = static_cast<int>(size); // the box holds whole numbers, truncated toward zero
}
} // namespace

CliProject::CliProject()
{
    // A freshly started window: C selected, the Arduino box unticked, and the form's default ticks.
    for (VelkorMdl* module : {static_cast<VelkorMdl*>(&mModules.power), static_cast<VelkorMdl*>(&mModules.prompt),
                              static_cast<VelkorMdl*>(&mModules.basicComms),
                              static_cast<VelkorMdl*>(&mModules.networkRegistration)})
        mChecked.insert(module);
}

void CliProject::selectLanguage(bool cpp)
{
    mC = !cpp;
    mCpp = cpp;
    mArduino = cpp; // choosing C++ shows and ticks the Arduino box, choosing C unticks it
}

void CliProject::setModuleChecked(VelkorMdl* module, bool checked)
{
    // The Start module is a header row without a check box; anything else is not a module here.
    if (module == &mModules.gettingStarted || !mModules.all().contains(module))
        return;
    if (checked)
        mChecked.insert(module);
    else
        mChecked.remove(module);
}

void CliProject::applySettingsFromModules()
{
    // What showing the options in the window's settings panels does to the modules: every buffer size
    // takes the value its box can show. (The options are shown as they are otherwise; the echo box
    // drives echo cancellation only when the user clicks it.)
    clampSize(mModules.gettingStarted.debugBufferSize);
    clampSize(mModules.prompt.promptBufferSize);
    clampSize(mModules.prompt.echoCancellationBufferSize);
    clampSize(mModules.prompt.circularTxBufferSize);
    clampSize(mModules.prompt.circularRxBufferSize);
}

CliProject::LoadStatus CliProject::load(const QString& folder, QString* detail, bool* languageFound)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
    {
        *detail = QStringLiteral("The project path specified does not exist - please correct this and then try again.");
        return LoadStatus::FolderMissing;
    }
    const QString path = ProjectSettings::filePath(folder);
    const QFileInfo info(path);
    if (!info.exists())
    {
        *detail = QStringLiteral("Velkor project settings not found at the specified path.");
        return LoadStatus::FileMissing;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
    {
        *detail = QStringLiteral("Unable to open file '") + path + QStringLiteral("' for reading.");
        return LoadStatus::Unreadable;
    }
    const QByteArray content = file.readAll();
    file.close();

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (document.isNull())
    {
        *detail = QStringLiteral("The project settings file '") + path +
                  QStringLiteral("' is not valid JSON (") + error.errorString() + QStringLiteral(" at offset ") +
                  QString::number(error.offset) + QStringLiteral(").");
        return LoadStatus::Malformed;
    }
    if (!document.isObject())
    {
        *detail = QStringLiteral("The project settings file '") + path +
                  QStringLiteral("' does not hold a JSON object.");
        return LoadStatus::Malformed;
    }

    mPath = folder;
    *languageFound = ProjectSettings::apply(*this, document.object());
    return LoadStatus::Loaded;
}

void CliProject::copyFrom(CliProject& other)
{
    ProjectSettings::apply(*this, ProjectSettings::build(other));
    mC = other.mC;
    mCpp = other.mCpp;
    mArduino = other.mArduino;
    mPath = other.mPath;
}
