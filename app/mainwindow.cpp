#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "velkorconstants.h"

void MainWindow::on_lstwgtModules_currentItemChanged(QListWidgetItem* /*current*/, QListWidgetItem* /*previous*/)
{
}

void MainWindow::on_chkMdl_Power_ResetEnabled_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_chkMdl_BasicComms_EchoEnabled_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_chkMdl_Prompt_IsPromptSetupSelected_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_chkMdl_InternetConnectionSimcom_IsApnRequired_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_chkMdl_InternetConnectionSimcom2G_IsApnRequired_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_btnAbout_clicked()
{
}

void MainWindow::on_btnLibMdlCheckDependencies_clicked()
{
}

void MainWindow::on_spinMdl_Prompt_PromptBufferSize_valueChanged(int /*arg1*/)
{
}

void MainWindow::on_chkMdl_Prompt_IsEchoCancSetupSelected_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_spinMdl_Prompt_EchoCancellationBufferSize_valueChanged(int /*arg1*/)
{
}

void MainWindow::on_chkMdl_Prompt_IsCircularTxSetupSelected_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_spinMdl_Prompt_CircularTxBufferSize_valueChanged(int /*arg1*/)
{
}

void MainWindow::on_chkMdl_Prompt_IsCircularRxSetupSelected_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_spinMdl_Prompt_CircularRxBufferSize_valueChanged(int /*arg1*/)
{
}

void MainWindow::on_optProjectIsCpp_clicked(bool /*checked*/)
{
}

void MainWindow::on_optProjectIsC_clicked(bool /*checked*/)
{
}

void MainWindow::on_btnLibMdlRequestNew_clicked()
{
}

void MainWindow::on_chkMdl_GettingStarted_IsDebugOutputSetupSelected_stateChanged(int /*arg1*/)
{
}

void MainWindow::on_spinMdl_GettingStarted_DebugBufferSize_valueChanged(int /*arg1*/)
{
}

void MainWindow::on_btnLibMdlSelectAll_clicked()
{
}

void MainWindow::on_btnLibMdlSelectNone_clicked()
{
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), mLibraryName(Velkor::libraryName()),
      mArduinoSourceFolder(Velkor::arduinoSourceFolder()), mContactUrl(Velkor::contactUrl()),
      mGeneratedFileNotice(Velkor::generatedFileNotice())
{
    ui->setupUi(this);
}

MainWindow::~MainWindow() { delete ui; }

VelkorMdl* MainWindow::moduleByIndex(int) { return nullptr; }
VelkorMdl* MainWindow::guiSelectedModule() { return nullptr; }
int MainWindow::guiModuleIndexInList(VelkorMdl*) { return -1; }
bool MainWindow::guiModuleIsChecked(VelkorMdl*) { return false; }
void MainWindow::guiSetModuleIsChecked(VelkorMdl*, bool) {}
void MainWindow::guiCheckedModulesGet(QList<VelkorMdl*>* list) { *list = checkedModules(); }
void MainWindow::modulesGetAll(QList<VelkorMdl*>* list) { *list = mModules.all(); }
VelkorMdl* MainWindow::moduleById(QString id) { return ProjectHost::moduleById(id); }
QStringList MainWindow::guiModuleCheckDependencies() { return {}; }
void MainWindow::guiSettingsTabsHideAll() {}
void MainWindow::settingsApplyFromModules() {}

QString MainWindow::projectPath() const { return QString(); }
void MainWindow::setProjectPath(const QString&) {}
bool MainWindow::isCSelected() const { return true; }
bool MainWindow::isCppSelected() const { return false; }
bool MainWindow::isArduinoTicked() const { return false; }
void MainWindow::setArduinoTicked(bool) {}
void MainWindow::selectLanguage(bool) {}
QList<VelkorMdl*> MainWindow::allModules() const { return mModules.all(); }
bool MainWindow::isModuleChecked(VelkorMdl*) const { return false; }
void MainWindow::setModuleChecked(VelkorMdl*, bool) {}
void MainWindow::applySettingsFromModules() { settingsApplyFromModules(); }
