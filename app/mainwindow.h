#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QDir>
#include <QList>
#include <QMainWindow>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

#include "projecthost.h"
#include "velkormodules.h"

QT_BEGIN_NAMESPACE
namespace Ui
{
class MainWindow;
}
class QListWidgetItem;
QT_END_NAMESPACE

// The program's single window. The widgets are the project state: the project folder is the text of
// lnedtProjectPath, the language is optProjectIsC / optProjectIsCpp / optProjectIsArduino, the module
// selection is the tick state of the rows of lstwgtModules, and the module options live in the module
// objects, mirrored by the settings panels. The window implements ProjectHost over those widgets so
// that the headless generation, project-file and export logic can work on it.
class MainWindow final : public QMainWindow, public ProjectHost
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Module list and selection.
    VelkorMdl* moduleByIndex(int index);
    VelkorMdl* guiSelectedModule();
    int guiModuleIndexInList(VelkorMdl* module);
    bool guiModuleIsChecked(VelkorMdl* module);
    void guiSetModuleIsChecked(VelkorMdl* module, bool checked);
    void guiCheckedModulesGet(QList<VelkorMdl*>* list);
    void modulesGetAll(QList<VelkorMdl*>* list);
    VelkorMdl* moduleById(QString id);

    // Dependency check: ticks what the ticked modules need; returns messages for the user.
    QStringList guiModuleCheckDependencies();

    // Settings panels.
    void guiSettingsTabsHideAll();
    void settingsApplyFromModules();

    // Project settings file.
    bool settingsSave();
    bool settingsLoad();

    // Generation.
    bool generateLibraryAndSupportFiles(QString libraryFolder, QString headerFolderPrefix, QString sourceFolderPrefix,
                                        QDir projectFolder, QList<VelkorMdl*> modules);
    void initializeUserCodeRegexPatterns();
    bool handleExtractAndSaveUserCodeFile(const QString& filePath, QString& generatedText,
                                          const QString& pristineText = QString());

    // ProjectHost over the widgets.
    QString projectPath() const override;
    void setProjectPath(const QString& path) override;
    bool isCSelected() const override;
    bool isCppSelected() const override;
    bool isArduinoTicked() const override;
    void setArduinoTicked(bool ticked) override;
    void selectLanguage(bool cpp) override;
    QList<VelkorMdl*> allModules() const override;
    bool isModuleChecked(VelkorMdl* module) const override;
    void setModuleChecked(VelkorMdl* module, bool checked) override;
    void applySettingsFromModules() override;

private slots:
    void on_lstwgtModules_currentItemChanged(QListWidgetItem* current, QListWidgetItem* previous);
    void on_btnProjectSaveAs_clicked();
    void on_chkMdl_Power_ResetEnabled_stateChanged(int arg1);
    void on_chkMdl_BasicComms_EchoEnabled_stateChanged(int arg1);
    void on_chkMdl_Prompt_IsPromptSetupSelected_stateChanged(int arg1);
    void on_chkMdl_InternetConnectionSimcom_IsApnRequired_stateChanged(int arg1);
    void on_chkMdl_InternetConnectionSimcom2G_IsApnRequired_stateChanged(int arg1);
    void on_btnGenerateCode_clicked();
    void on_btnProjectOpen_clicked();
    void on_btnProjectSave_clicked();
    void on_btnProjectNew_clicked();
    void on_btnAbout_clicked();
    void on_btnLibMdlCheckDependencies_clicked();
    void on_spinMdl_Prompt_PromptBufferSize_valueChanged(int arg1);
    void on_chkMdl_Prompt_IsEchoCancSetupSelected_stateChanged(int arg1);
    void on_spinMdl_Prompt_EchoCancellationBufferSize_valueChanged(int arg1);
    void on_chkMdl_Prompt_IsCircularTxSetupSelected_stateChanged(int arg1);
    void on_spinMdl_Prompt_CircularTxBufferSize_valueChanged(int arg1);
    void on_chkMdl_Prompt_IsCircularRxSetupSelected_stateChanged(int arg1);
    void on_spinMdl_Prompt_CircularRxBufferSize_valueChanged(int arg1);
    void on_optProjectIsCpp_clicked(bool checked);
    void on_optProjectIsC_clicked(bool checked);
    void on_btnLibMdlRequestNew_clicked();
    void on_btnDownloadExample_clicked();
    void on_chkMdl_GettingStarted_IsDebugOutputSetupSelected_stateChanged(int arg1);
    void on_spinMdl_GettingStarted_DebugBufferSize_valueChanged(int arg1);
    void on_btnLibMdlSelectAll_clicked();
    void on_btnLibMdlSelectNone_clicked();
    void on_btnDownloadUserManual_clicked();

private:
    Ui::MainWindow* ui;
    VelkorModules mModules; // registry order: Start, Power, Prompt, ..., HTTP Client, MQTT Client
    const QString mLibraryName;
    const QString mArduinoSourceFolder;
    const QString mContactUrl;
    const QString mGeneratedFileNotice;
    QVector<QRegularExpression> mUserCodeRegexPatterns;
};

#endif // MAINWINDOW_H
