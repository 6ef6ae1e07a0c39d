#include "mainwindow.h"

#include <QDesktopServices>
#include <QSignalBlocker>
#include <QUrl>

#include "aboutwindow.h"
#include "dependencycheck.h"
#include "dialogs.h"
#include "ui_mainwindow.h"
#include "velkorconstants.h"

namespace
{
// One row of the module list that stands for a module: the module, its settings page (if any) and
// whether an example project exists for it.
struct ModuleRow
{
    VelkorMdl* module;
    QWidget* settingsPage;
    bool hasExample;
};

// The rows 0 to 13 of lstwgtModules, top to bottom. This is the one place that ties rows to modules:
// the list shows the 2G internet connection above the LTE one, whereas the registry (and so every
// module list) has LTE first. Rows 14 to 16 are notes and stand for no module.
QVector<ModuleRow> moduleRows(VelkorModules& m, Ui::MainWindow* ui)
{
    return {
        {&m.gettingStarted, ui->tbMdlSettings_GettingStarted, false},
        {&m.power, ui->tbMdlSettings_Power, false},
        {&m.prompt, ui->tbMdlSettings_Prompt, false},
        {&m.basicComms, ui->tbMdlSettings_BasicComms, false},
        {&m.pin, nullptr, true},
        {&m.rssi, nullptr, true},
        {&m.networkRegistration, nullptr, false},
        {&m.smsSend, nullptr, true},
        {&m.smsRead, nullptr, true},
        {&m.ussd, nullptr, true},
        {&m.internetConnectionSimcom2G, ui->tbMdlSettings_InternetConnectionSimcom2G, false},
        {&m.internetConnectionSimcom, ui->tbMdlSettings_InternetConnectionSimcom, false},
        {&m.httpClientSimcom, nullptr, true},
        {&m.mqttClientSimcom, nullptr, true},
    };
}

// A module's buffer size as a spin box value: truncated toward zero and kept inside the box's range
// (the box would clamp it anyway; doing it here first keeps the conversion defined for any double).
int spinValueFor(double size, const QSpinBox* box)
{
    if (!(size >= box->minimum())) // also catches NaN
        return box->minimum();
    if (size > box->maximum())
        return box->maximum();
    return static_cast<int>(size);
}
} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), mLibraryName(Velkor::libraryName()),
      mArduinoSourceFolder(Velkor::arduinoSourceFolder()), mContactUrl(Velkor::contactUrl()),
      mGeneratedFileNotice(Velkor::generatedFileNotice())
{
    // The module objects (mModules) are constructed with their defaults, which are also the form's
    // widget defaults, so widgets and modules start in agreement.
    ui->setupUi(this);
    guiSettingsTabsHideAll();
    setWindowTitle(windowTitle() + QStringLiteral(" v") + Velkor::version());

    // Align the Arduino box with the language: only meaningful (and only visible) with C++.
    if (ui->optProjectIsCpp->isChecked()) {
        ui->optProjectIsArduino->setVisible(true);
        ui->optProjectIsArduino->setChecked(true);
    } else {
        ui->optProjectIsArduino->setChecked(false);
        ui->optProjectIsArduino->setVisible(false);
    }
}

MainWindow::~MainWindow() { delete ui; }

// ---------------------------------------------------------------------------------------------------
// Module list and selection

VelkorMdl* MainWindow::moduleByIndex(int index)
{
    const QVector<ModuleRow> rows = moduleRows(mModules, ui);
    if (index < 0 || index >= rows.size())
        return nullptr;
    return rows[index].module;
}

VelkorMdl* MainWindow::guiSelectedModule() { return moduleByIndex(ui->lstwgtModules->currentRow()); }

int MainWindow::guiModuleIndexInList(VelkorMdl* module)
{
    if (module == nullptr)
        return -1;
    const QVector<ModuleRow> rows = moduleRows(mModules, ui);
    for (int row = 0; row < rows.size(); ++row)
        if (rows[row].module == module)
            return row;
    return -1;
}

bool MainWindow::guiModuleIsChecked(VelkorMdl* module)
{
    const int row = guiModuleIndexInList(module);
    if (row < 0 || row >= ui->lstwgtModules->count())
        return false;
    // PartiallyChecked counts as not ticked; the Start row has no check state at all.
    return ui->lstwgtModules->item(row)->data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

void MainWindow::guiSetModuleIsChecked(VelkorMdl* module, bool checked)
{
    const int row = guiModuleIndexInList(module);
    // Row 0 (Start) is a header without a check box; it must not grow one.
    if (row <= 0 || row >= ui->lstwgtModules->count())
        return;
    ui->lstwgtModules->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void MainWindow::guiCheckedModulesGet(QList<VelkorMdl*>* list)
{
    list->clear();
    const QList<VelkorMdl*> all = mModules.all();
    list->append(&mModules.gettingStarted);
    for (VelkorMdl* module : all)
        if (module != &mModules.gettingStarted && guiModuleIsChecked(module))
            list->append(module);
}

void MainWindow::modulesGetAll(QList<VelkorMdl*>* list) { *list = mModules.all(); }

VelkorMdl* MainWindow::moduleById(QString id)
{
    QList<VelkorMdl*> all;
    modulesGetAll(&all);
    for (VelkorMdl* module : all)
        if (module->id() == id)
            return module;
    return nullptr;
}

void MainWindow::on_lstwgtModules_currentItemChanged(QListWidgetItem* /*current*/, QListWidgetItem* /*previous*/)
{
    const int row = ui->lstwgtModules->currentRow();
    VelkorMdl* module = moduleByIndex(row);

    QString page;
    if (module != nullptr)
        page = module->docHtml();
    ui->txtedtMdlInfo->setHtml(page);

    // Hiding the current page moves the tab widget to a remaining visible one, so Module Info ends up
    // current unless the user picks another tab afterwards.
    guiSettingsTabsHideAll();
    if (module == nullptr)
        return;
    const ModuleRow entry = moduleRows(mModules, ui).at(row);
    if (entry.settingsPage != nullptr)
        ui->tabwgtMdl->setTabVisible(ui->tabwgtMdl->indexOf(entry.settingsPage), true);
    if (entry.hasExample)
        ui->tabwgtMdl->setTabVisible(ui->tabwgtMdl->indexOf(ui->tbMdlExample), true);
}

void MainWindow::on_btnLibMdlSelectAll_clicked()
{
    for (VelkorMdl* module : mModules.all())
        guiSetModuleIsChecked(module, true);
}

void MainWindow::on_btnLibMdlSelectNone_clicked()
{
    for (VelkorMdl* module : mModules.all())
        guiSetModuleIsChecked(module, false);
}

// ---------------------------------------------------------------------------------------------------
// Dependency check

QStringList MainWindow::guiModuleCheckDependencies() { return DependencyCheck::run(*this); }

void MainWindow::on_btnLibMdlCheckDependencies_clicked()
{
    const QStringList messages = guiModuleCheckDependencies();
    if (!messages.isEmpty())
        Dialogs::current().critical(QStringLiteral("Module Dependencies"), messages.join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------------------------------------------
// Settings panels: each widget writes its module field at once. The slot arguments are ignored; the
// widget itself is read, so the slots can also be called to resynchronise.

void MainWindow::guiSettingsTabsHideAll()
{
    for (int i = 1; i < ui->tabwgtMdl->count(); ++i)
        ui->tabwgtMdl->setTabVisible(i, false);
}

void MainWindow::on_chkMdl_GettingStarted_IsDebugOutputSetupSelected_stateChanged(int /*arg1*/)
{
    mModules.gettingStarted.isDebugOutputSetupSelected = ui->chkMdl_GettingStarted_IsDebugOutputSetupSelected->isChecked();
}

void MainWindow::on_spinMdl_GettingStarted_DebugBufferSize_valueChanged(int /*arg1*/)
{
    mModules.gettingStarted.debugBufferSize = ui->spinMdl_GettingStarted_DebugBufferSize->value();
}

void MainWindow::on_chkMdl_Power_ResetEnabled_stateChanged(int /*arg1*/)
{
    mModules.power.useResetPin = ui->chkMdl_Power_ResetEnabled->isChecked();
}

void MainWindow::on_chkMdl_Prompt_IsPromptSetupSelected_stateChanged(int /*arg1*/)
{
    mModules.prompt.isPromptSetupSelected = ui->chkMdl_Prompt_IsPromptSetupSelected->isChecked();
}

void MainWindow::on_spinMdl_Prompt_PromptBufferSize_valueChanged(int /*arg1*/)
{
    mModules.prompt.promptBufferSize = ui->spinMdl_Prompt_PromptBufferSize->value();
}

void MainWindow::on_chkMdl_Prompt_IsEchoCancSetupSelected_stateChanged(int /*arg1*/)
{
    mModules.prompt.isEchoCancSetupSelected = ui->chkMdl_Prompt_IsEchoCancSetupSelected->isChecked();
}

void MainWindow::on_spinMdl_Prompt_EchoCancellationBufferSize_valueChanged(int /*arg1*/)
{
    mModules.prompt.echoCancellationBufferSize = ui->spinMdl_Prompt_EchoCancellationBufferSize->value();
}

void MainWindow::on_chkMdl_Prompt_IsCircularTxSetupSelected_stateChanged(int /*arg1*/)
{
    mModules.prompt.isCircularTxSetupSelected = ui->chkMdl_Prompt_IsCircularTxSetupSelected->isChecked();
}

void MainWindow::on_spinMdl_Prompt_CircularTxBufferSize_valueChanged(int /*arg1*/)
{
    mModules.prompt.circularTxBufferSize = ui->spinMdl_Prompt_CircularTxBufferSize->value();
}

void MainWindow::on_chkMdl_Prompt_IsCircularRxSetupSelected_stateChanged(int /*arg1*/)
{
    mModules.prompt.isCircularRxSetupSelected = ui->chkMdl_Prompt_IsCircularRxSetupSelected->isChecked();
}

void MainWindow::on_spinMdl_Prompt_CircularRxBufferSize_valueChanged(int /*arg1*/)
{
    mModules.prompt.circularRxBufferSize = ui->spinMdl_Prompt_CircularRxBufferSize->value();
}

// Echo cancellation only makes sense while the modem echoes: turning echo off clears and locks the
// Prompt module's echo-cancellation option, turning it on sets and unlocks it. Setting the Prompt
// box fires its own slot, so the Prompt module follows.
void MainWindow::on_chkMdl_BasicComms_EchoEnabled_stateChanged(int /*arg1*/)
{
    const bool echo = ui->chkMdl_BasicComms_EchoEnabled->isChecked();
    mModules.basicComms.echoEnabled = echo;
    ui->chkMdl_Prompt_IsEchoCancSetupSelected->setCheckState(echo ? Qt::Checked : Qt::Unchecked);
    ui->chkMdl_Prompt_IsEchoCancSetupSelected->setEnabled(echo);
    ui->spinMdl_Prompt_EchoCancellationBufferSize->setEnabled(echo);
}

void MainWindow::on_chkMdl_InternetConnectionSimcom_IsApnRequired_stateChanged(int /*arg1*/)
{
    mModules.internetConnectionSimcom.isApnRequired = ui->chkMdl_InternetConnectionSimcom_IsApnRequired->isChecked();
}

void MainWindow::on_chkMdl_InternetConnectionSimcom2G_IsApnRequired_stateChanged(int /*arg1*/)
{
    mModules.internetConnectionSimcom2G.isApnRequired =
        ui->chkMdl_InternetConnectionSimcom2G_IsApnRequired->isChecked();
}

// Copies the module options into the widgets. Every widget change runs its slot, which writes the
// same value back; only the Basic Comms echo box would do more (its cascade rewrites the Prompt
// echo-cancellation option), so it is set without its slot: an opened project shows and generates
// the options it was saved with, whatever the window showed before.
void MainWindow::settingsApplyFromModules()
{
    auto setBox = [](QCheckBox* box, bool ticked) { box->setCheckState(ticked ? Qt::Checked : Qt::Unchecked); };
    // A size the box cannot show (below 8, say 0 from a damaged settings file) is shown clamped; the
    // module then takes the shown value, so that what is generated is what the panel shows.
    auto setSpin = [](QSpinBox* box, double& size) {
        box->setValue(spinValueFor(size, box));
        size = box->value();
    };

    VelkorMdl_GettingStarted& start = mModules.gettingStarted;
    VelkorMdl_Prompt& prompt = mModules.prompt;

    setBox(ui->chkMdl_GettingStarted_IsDebugOutputSetupSelected, start.isDebugOutputSetupSelected);
    setSpin(ui->spinMdl_GettingStarted_DebugBufferSize, start.debugBufferSize);
    setBox(ui->chkMdl_Power_ResetEnabled, mModules.power.useResetPin);
    {
        const QSignalBlocker quiet(ui->chkMdl_BasicComms_EchoEnabled);
        setBox(ui->chkMdl_BasicComms_EchoEnabled, mModules.basicComms.echoEnabled);
    }
    ui->chkMdl_Prompt_IsEchoCancSetupSelected->setEnabled(mModules.basicComms.echoEnabled);
    ui->spinMdl_Prompt_EchoCancellationBufferSize->setEnabled(mModules.basicComms.echoEnabled);
    setBox(ui->chkMdl_Prompt_IsPromptSetupSelected, prompt.isPromptSetupSelected);
    setBox(ui->chkMdl_Prompt_IsEchoCancSetupSelected, prompt.isEchoCancSetupSelected);
    setBox(ui->chkMdl_Prompt_IsCircularTxSetupSelected, prompt.isCircularTxSetupSelected);
    setBox(ui->chkMdl_Prompt_IsCircularRxSetupSelected, prompt.isCircularRxSetupSelected);
    setSpin(ui->spinMdl_Prompt_PromptBufferSize, prompt.promptBufferSize);
    setSpin(ui->spinMdl_Prompt_EchoCancellationBufferSize, prompt.echoCancellationBufferSize);
    setSpin(ui->spinMdl_Prompt_CircularTxBufferSize, prompt.circularTxBufferSize);
    setSpin(ui->spinMdl_Prompt_CircularRxBufferSize, prompt.circularRxBufferSize);
    setBox(ui->chkMdl_InternetConnectionSimcom_IsApnRequired, mModules.internetConnectionSimcom.isApnRequired);
    setBox(ui->chkMdl_InternetConnectionSimcom2G_IsApnRequired, mModules.internetConnectionSimcom2G.isApnRequired);
}

// Language: C++ shows the Arduino box and ticks it (again on every click); C unticks and hides it.
void MainWindow::on_optProjectIsCpp_clicked(bool checked)
{
    if (!checked)
        return;
    ui->optProjectIsArduino->setVisible(true);
    ui->optProjectIsArduino->setChecked(true);
}

void MainWindow::on_optProjectIsC_clicked(bool checked)
{
    if (!checked)
        return;
    ui->optProjectIsArduino->setChecked(false);
    ui->optProjectIsArduino->setVisible(false);
}

// ---------------------------------------------------------------------------------------------------
// About and contact

void MainWindow::on_btnAbout_clicked()
{
    AboutWindow about(this);
    about.exec();
}

void MainWindow::on_btnLibMdlRequestNew_clicked() { QDesktopServices::openUrl(QUrl(mContactUrl)); }

// ---------------------------------------------------------------------------------------------------
// ProjectHost over the widgets

QString MainWindow::projectPath() const { return ui->lnedtProjectPath->text(); }

void MainWindow::setProjectPath(const QString& path) { ui->lnedtProjectPath->setText(path); }

bool MainWindow::isCSelected() const { return ui->optProjectIsC->isChecked(); }

bool MainWindow::isCppSelected() const { return ui->optProjectIsCpp->isChecked(); }

bool MainWindow::isArduinoTicked() const { return ui->optProjectIsArduino->isChecked(); }

void MainWindow::setArduinoTicked(bool ticked) { ui->optProjectIsArduino->setChecked(ticked); }

void MainWindow::selectLanguage(bool cpp)
{
    if (cpp) {
        ui->optProjectIsCpp->setChecked(true);
        on_optProjectIsCpp_clicked(true);
    } else {
        ui->optProjectIsC->setChecked(true);
        on_optProjectIsC_clicked(true);
    }
}

QList<VelkorMdl*> MainWindow::allModules() const { return mModules.all(); }

bool MainWindow::isModuleChecked(VelkorMdl* module) const
{
    return const_cast<MainWindow*>(this)->guiModuleIsChecked(module);
}

void MainWindow::setModuleChecked(VelkorMdl* module, bool checked) { guiSetModuleIsChecked(module, checked); }

void MainWindow::applySettingsFromModules() { settingsApplyFromModules(); }
