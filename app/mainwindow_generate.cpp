#include "generator.h"
#include "librarywriter.h"
#include "mainwindow.h"
#include "projectsettings.h"

// The generation run and the project commands. The work itself is done by the headless Generator,
// LibraryWriter and ProjectSettings over the window's ProjectHost side; the window's own operations
// (settings file, dependency check, user code merge, library writer) are the steps the run goes
// through, so the window stays the single way in for its commands.

namespace
{
class WindowGenerator final : public Generator
{
public:
    explicit WindowGenerator(MainWindow& window) : Generator(window), mWindow(window) {}

protected:
    bool saveSettings() override { return mWindow.settingsSave(); }
    QStringList checkDependencies() override { return mWindow.guiModuleCheckDependencies(); }
    bool extractAndSaveUserCode(const QString& filePath, QString& generatedText) override
    {
        return mWindow.handleExtractAndSaveUserCodeFile(filePath, generatedText, pristineTextFor(filePath));
    }
    bool writeLibraryFiles(const QString& libraryFolder, const QDir& projectFolder,
                           const QList<VelkorMdl*>& modules) override
    {
        return mWindow.generateLibraryAndSupportFiles(libraryFolder, QString(), QString(), projectFolder, modules);
    }

private:
    MainWindow& mWindow;
};
} // namespace

void MainWindow::on_btnGenerateCode_clicked()
{
    WindowGenerator generator(*this);
    generator.run();
}

void MainWindow::on_btnProjectNew_clicked()
{
    ProjectSettings::commandNew(*this);
}

void MainWindow::on_btnProjectOpen_clicked()
{
    ProjectSettings::commandOpen(*this);
}

void MainWindow::on_btnProjectSave_clicked()
{
    ProjectSettings::commandSave(*this);
}

void MainWindow::on_btnProjectSaveAs_clicked()
{
    ProjectSettings::commandSaveAs(*this);
}

bool MainWindow::settingsSave()
{
    return ProjectSettings::save(*this);
}

bool MainWindow::settingsLoad()
{
    return ProjectSettings::load(*this);
}

bool MainWindow::generateLibraryAndSupportFiles(QString libraryFolder, QString headerFolderPrefix,
                                                QString sourceFolderPrefix, QDir projectFolder,
                                                QList<VelkorMdl*> modules)
{
    return LibraryWriter::write(libraryFolder, headerFolderPrefix, sourceFolderPrefix, projectFolder, modules,
                                mGeneratedFileNotice);
}
