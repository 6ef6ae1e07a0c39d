// The module settings panels: each widget writes its module option, a click on the Basic Comms echo box drives the
// Prompt echo-cancellation option, settingsApplyFromModules shows the options as they are,
// and the language buttons drive the Arduino box.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "mainwindow.h"
#include "projectsettings.h"
#include "testsupport.h"
#include "velkorconstants.h"

using namespace TestSupport;

namespace
{
template <typename M> M& module(MainWindow& w, const char* id)
{
    M* m = dynamic_cast<M*>(w.moduleById(QString::fromLatin1(id)));
    if (m == nullptr)
        qFatal("no module %s", id);
    return *m;
}

VelkorMdl_GettingStarted& start(MainWindow& w)
{
    auto* m = dynamic_cast<VelkorMdl_GettingStarted*>(w.moduleByIndex(0));
    Q_ASSERT(m != nullptr);
    return *m;
}
VelkorMdl_Prompt& prompt(MainWindow& w) { return module<VelkorMdl_Prompt>(w, "Prompt"); }

using Flag = bool& (*)(MainWindow&);
using Size = double& (*)(MainWindow&);
using Lte = VelkorMdl_InternetConnection_SIMCom;
using TwoG = VelkorMdl_InternetConnection_SIMCom2G;

// The module option behind each check box and each spin box.
const QMap<QString, Flag> kFlags{
    {"chkMdl_GettingStarted_IsDebugOutputSetupSelected", [](MainWindow& w) -> bool& { return start(w).isDebugOutputSetupSelected; }},
    {"chkMdl_Power_ResetEnabled", [](MainWindow& w) -> bool& { return module<VelkorMdl_Power>(w, "Power").useResetPin; }},
    {"chkMdl_BasicComms_EchoEnabled", [](MainWindow& w) -> bool& { return module<VelkorMdl_BasicComms>(w, "BasicComms").echoEnabled; }},
    {"chkMdl_Prompt_IsPromptSetupSelected", [](MainWindow& w) -> bool& { return prompt(w).isPromptSetupSelected; }},
    {"chkMdl_Prompt_IsEchoCancSetupSelected", [](MainWindow& w) -> bool& { return prompt(w).isEchoCancSetupSelected; }},
    {"chkMdl_Prompt_IsCircularTxSetupSelected", [](MainWindow& w) -> bool& { return prompt(w).isCircularTxSetupSelected; }},
    {"chkMdl_Prompt_IsCircularRxSetupSelected", [](MainWindow& w) -> bool& { return prompt(w).isCircularRxSetupSelected; }},
    {"chkMdl_InternetConnectionSimcom_IsApnRequired",
     [](MainWindow& w) -> bool& { return module<Lte>(w, "InternetConnection_SIMCom").isApnRequired; }},
    {"chkMdl_InternetConnectionSimcom2G_IsApnRequired",
     [](MainWindow& w) -> bool& { return module<TwoG>(w, "InternetConnection_SIMCom2G").isApnRequired; }}};
const QMap<QString, Size> kSizes{
    {"spinMdl_GettingStarted_DebugBufferSize", [](MainWindow& w) -> double& { return start(w).debugBufferSize; }},
    {"spinMdl_Prompt_PromptBufferSize", [](MainWindow& w) -> double& { return prompt(w).promptBufferSize; }},
    {"spinMdl_Prompt_EchoCancellationBufferSize", [](MainWindow& w) -> double& { return prompt(w).echoCancellationBufferSize; }},
    {"spinMdl_Prompt_CircularTxBufferSize", [](MainWindow& w) -> double& { return prompt(w).circularTxBufferSize; }},
    {"spinMdl_Prompt_CircularRxBufferSize", [](MainWindow& w) -> double& { return prompt(w).circularRxBufferSize; }}};
const QStringList kBoxes = kFlags.keys();
const QStringList kSpins = kSizes.keys();
bool& flagOf(MainWindow& w, const QString& box) { return kFlags.value(box)(w); }
double& sizeOf(MainWindow& w, const QString& spin) { return kSizes.value(spin)(w); }
} // namespace

class TestSettingsPanels : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void checkBoxWritesItsOption_data();
    void checkBoxWritesItsOption();
    void spinBoxWritesItsOption_data();
    void spinBoxWritesItsOption();

    void echoOffClearsEchoCancellation();
    void promptSpinsStayEnabledWhenUnticked();
    void applyShowsOptionsWhateverTheWindowShowedBefore_data();
    void applyShowsOptionsWhateverTheWindowShowedBefore();
    void openingAProjectLeavesNothingOfTheOneBefore();
    void applyCopiesEveryOption();
    void applyKeepsModuleAndPanelInAgreement_data();
    void applyKeepsModuleAndPanelInAgreement();

    void cppShowsAndTicksArduinoOnEveryClick();
};

void TestSettingsPanels::cleanup()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(QStringLiteral("left visible: ") + w->objectName()));
}

void TestSettingsPanels::checkBoxWritesItsOption_data()
{
    QTest::addColumn<QString>("box");
    for (const QString& box : kBoxes)
        QTest::newRow(qPrintable(box)) << box;
}

void TestSettingsPanels::checkBoxWritesItsOption()
{
    QFETCH(QString, box);
    MainWindow w;
    QCheckBox* check = child<QCheckBox>(w, box);
    bool& option = flagOf(w, box);
    const bool initial = check->isChecked();
    QCOMPARE(option, initial);
    check->click();
    QCOMPARE(option, !initial);
    check->click();
    QCOMPARE(option, initial);
}

void TestSettingsPanels::spinBoxWritesItsOption_data()
{
    QTest::addColumn<QString>("spin");
    for (const QString& spin : kSpins)
        QTest::newRow(qPrintable(spin)) << spin;
}

void TestSettingsPanels::spinBoxWritesItsOption()
{
    QFETCH(QString, spin);
    MainWindow w;
    QSpinBox* box = child<QSpinBox>(w, spin);
    QCOMPARE(box->minimum(), 8);
    QCOMPARE(box->maximum(), 429496729);
    QCOMPARE(box->singleStep(), 8);
    QCOMPARE(box->value(), 1024);
    QCOMPARE(box->alignment(), Qt::AlignCenter);
    QVERIFY(box->isEnabled());

    double& option = sizeOf(w, spin);
    box->stepUp();
    QCOMPARE(option, 1032.0);
    box->setValue(429496729);
    QCOMPARE(option, 429496729.0);
    box->setValue(3); // below the range: the box holds 8, and so does the module
    QCOMPARE(option, 8.0);
}

void TestSettingsPanels::echoOffClearsEchoCancellation()
{
    MainWindow w;
    QCheckBox* echo = child<QCheckBox>(w, QStringLiteral("chkMdl_BasicComms_EchoEnabled"));
    QCheckBox* cancel = child<QCheckBox>(w, QStringLiteral("chkMdl_Prompt_IsEchoCancSetupSelected"));
    QSpinBox* cancelSize = child<QSpinBox>(w, QStringLiteral("spinMdl_Prompt_EchoCancellationBufferSize"));

    echo->click();
    QVERIFY(!module<VelkorMdl_BasicComms>(w, "BasicComms").echoEnabled);
    QVERIFY(!cancel->isChecked());
    QVERIFY(!cancel->isEnabled());
    QVERIFY(!cancelSize->isEnabled());
    QVERIFY(!prompt(w).isEchoCancSetupSelected);

    echo->click();
    QVERIFY(module<VelkorMdl_BasicComms>(w, "BasicComms").echoEnabled);
    QVERIFY(cancel->isChecked());
    QVERIFY(cancel->isEnabled());
    QVERIFY(cancelSize->isEnabled());
    QVERIFY(prompt(w).isEchoCancSetupSelected);

    // Echo on always sets echo cancellation, even if the user had cleared it.
    cancel->click();
    QVERIFY(!prompt(w).isEchoCancSetupSelected);
    echo->click();
    echo->click();
    QVERIFY(prompt(w).isEchoCancSetupSelected);
}

void TestSettingsPanels::promptSpinsStayEnabledWhenUnticked()
{
    MainWindow w;
    for (const char* group : {"IsPromptSetupSelected", "IsCircularTxSetupSelected", "IsCircularRxSetupSelected",
                              "IsEchoCancSetupSelected"})
        child<QCheckBox>(w, QStringLiteral("chkMdl_Prompt_") + QLatin1String(group))->click();
    for (const QString& spin : kSpins)
        QVERIFY2(child<QSpinBox>(w, spin)->isEnabled(), qPrintable(spin));
    QVERIFY(child<QCheckBox>(w, QStringLiteral("chkMdl_Prompt_IsEchoCancSetupSelected"))->isEnabled());
}

void TestSettingsPanels::applyShowsOptionsWhateverTheWindowShowedBefore_data()
{
    QTest::addColumn<bool>("echoBoxTicked"); // what the Basic Comms box shows before the apply
    QTest::addColumn<bool>("echo");          // the module options applied
    QTest::addColumn<bool>("cancel");
    QTest::newRow("echo box unticked, echo on, cancellation off") << false << true << false;
    QTest::newRow("echo box ticked, echo on, cancellation off") << true << true << false;
    QTest::newRow("echo box unticked, echo on, cancellation on") << false << true << true;
    QTest::newRow("echo box ticked, echo off") << true << false << false;
}

// Applying module options (Open) shows them as they are: the echo box's cascade, which belongs to
// the user's click, must not rewrite echo cancellation depending on what the window showed before.
void TestSettingsPanels::applyShowsOptionsWhateverTheWindowShowedBefore()
{
    QFETCH(bool, echoBoxTicked);
    QFETCH(bool, echo);
    QFETCH(bool, cancel);
    MainWindow w;
    QCheckBox* echoBox = child<QCheckBox>(w, QStringLiteral("chkMdl_BasicComms_EchoEnabled"));
    QCheckBox* cancelBox = child<QCheckBox>(w, QStringLiteral("chkMdl_Prompt_IsEchoCancSetupSelected"));
    if (!echoBoxTicked)
        echoBox->click();
    QCOMPARE(echoBox->isChecked(), echoBoxTicked);

    module<VelkorMdl_BasicComms>(w, "BasicComms").echoEnabled = echo;
    prompt(w).isEchoCancSetupSelected = cancel;
    w.settingsApplyFromModules();

    QCOMPARE(echoBox->isChecked(), echo);
    QCOMPARE(module<VelkorMdl_BasicComms>(w, "BasicComms").echoEnabled, echo);
    QCOMPARE(cancelBox->isChecked(), cancel);
    QCOMPARE(prompt(w).isEchoCancSetupSelected, cancel);
    // echo cancellation can be changed only while the modem echoes
    QCOMPARE(cancelBox->isEnabled(), echo);
    QCOMPARE(child<QSpinBox>(w, QStringLiteral("spinMdl_Prompt_EchoCancellationBufferSize"))->isEnabled(), echo);
}

// Opening project B in a window that had project A open gives B's settings, exactly as a fresh
// window (and the command line) would: nothing of A leaks into what is shown, saved or generated.
void TestSettingsPanels::openingAProjectLeavesNothingOfTheOneBefore()
{
    QTemporaryDir a;
    QTemporaryDir b;
    {
        MainWindow w; // B: echo on, echo cancellation off, the rest at defaults
        w.setProjectPath(b.path());
        child<QCheckBox>(w, QStringLiteral("chkMdl_Prompt_IsEchoCancSetupSelected"))->click();
        QVERIFY(!prompt(w).isEchoCancSetupSelected);
        QVERIFY(ProjectSettings::save(w));
    }
    QJsonObject bText = QJsonDocument::fromJson([&] {
        QFile f(QDir(b.path()).filePath(Velkor::settingsFileName()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }()).object();
    bText.remove(QStringLiteral("Power")); // and a file that lacks an object
    {
        QFile f(QDir(b.path()).filePath(Velkor::settingsFileName()));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(bText).toJson());
    }

    MainWindow fresh;
    fresh.setProjectPath(b.path());
    QVERIFY(ProjectSettings::load(fresh));

    MainWindow w; // A first: echo off, reset pin on
    w.setProjectPath(a.path());
    child<QCheckBox>(w, QStringLiteral("chkMdl_BasicComms_EchoEnabled"))->click();
    child<QCheckBox>(w, QStringLiteral("chkMdl_Power_ResetEnabled"))->click();
    QVERIFY(ProjectSettings::save(w));
    w.setProjectPath(b.path());
    QVERIFY(ProjectSettings::load(w));
    QCOMPARE(ProjectSettings::toText(ProjectSettings::build(w)), ProjectSettings::toText(ProjectSettings::build(fresh)));
    QVERIFY(!prompt(w).isEchoCancSetupSelected);
    QVERIFY(!child<QCheckBox>(w, QStringLiteral("chkMdl_Power_ResetEnabled"))->isChecked());
}

void TestSettingsPanels::applyCopiesEveryOption()
{
    MainWindow w;
    // Every option away from its default (echo stays on so that echo cancellation can be set freely).
    for (const QString& box : kBoxes)
        if (box != QLatin1String("chkMdl_BasicComms_EchoEnabled"))
            flagOf(w, box) = !flagOf(w, box);
    double size = 16;
    for (const QString& spin : kSpins) {
        sizeOf(w, spin) = size;
        size *= 3;
    }

    w.applySettingsFromModules(); // the ProjectHost entry point
    for (const QString& box : kBoxes)
        QVERIFY2(child<QCheckBox>(w, box)->isChecked() == flagOf(w, box), qPrintable(box));
    QVERIFY(child<QCheckBox>(w, QStringLiteral("chkMdl_Power_ResetEnabled"))->isChecked());
    QVERIFY(!child<QCheckBox>(w, QStringLiteral("chkMdl_Prompt_IsCircularRxSetupSelected"))->isChecked());
    size = 16;
    for (const QString& spin : kSpins) {
        QCOMPARE(child<QSpinBox>(w, spin)->value(), int(size));
        QCOMPARE(sizeOf(w, spin), size);
        size *= 3;
    }

    // Echo off in the module: the cascade clears and locks echo cancellation.
    module<VelkorMdl_BasicComms>(w, "BasicComms").echoEnabled = false;
    prompt(w).isEchoCancSetupSelected = true;
    w.settingsApplyFromModules();
    QVERIFY(!child<QCheckBox>(w, QStringLiteral("chkMdl_BasicComms_EchoEnabled"))->isChecked());
    QVERIFY(!child<QCheckBox>(w, QStringLiteral("chkMdl_Prompt_IsEchoCancSetupSelected"))->isEnabled());
}

void TestSettingsPanels::applyKeepsModuleAndPanelInAgreement_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<int>("shown");
    QTest::newRow("whole number") << 4096.0 << 4096;
    QTest::newRow("fraction truncated") << 1000.9 << 1000;
    QTest::newRow("zero from a damaged file") << 0.0 << 8;
    QTest::newRow("negative") << -5.0 << 8;
    QTest::newRow("beyond the range") << 1e12 << 429496729;
    QTest::newRow("not a number") << qQNaN() << 8;
}

// What the panel shows is what gets generated: a size the box cannot show is shown clamped, and the
// module takes that value, also when the box already showed it (and so emits no change).
void TestSettingsPanels::applyKeepsModuleAndPanelInAgreement()
{
    QFETCH(double, size);
    QFETCH(int, shown);
    MainWindow w;
    QSpinBox* box = child<QSpinBox>(w, QStringLiteral("spinMdl_Prompt_CircularRxBufferSize"));
    box->setValue(8);
    prompt(w).circularRxBufferSize = size;
    w.settingsApplyFromModules();
    QCOMPARE(box->value(), shown);
    QCOMPARE(prompt(w).circularRxBufferSize, double(shown));
}

void TestSettingsPanels::cppShowsAndTicksArduinoOnEveryClick()
{
    MainWindow w;
    QRadioButton* c = child<QRadioButton>(w, QStringLiteral("optProjectIsC"));
    QRadioButton* cpp = child<QRadioButton>(w, QStringLiteral("optProjectIsCpp"));
    QCheckBox* arduino = child<QCheckBox>(w, QStringLiteral("optProjectIsArduino"));
    QVERIFY(!arduino->autoExclusive());
    QVERIFY(arduino->isEnabled());

    cpp->click();
    QVERIFY(cpp->isChecked() && !c->isChecked());
    QVERIFY(!arduino->isHidden());
    QVERIFY(arduino->isChecked());

    arduino->click();
    QVERIFY(!arduino->isChecked());
    QVERIFY(cpp->isChecked()); // the box is independent of the radio buttons
    cpp->click();              // already selected: ticks the box again
    QVERIFY(arduino->isChecked());

    c->click();
    QVERIFY(c->isChecked() && !cpp->isChecked());
    QVERIFY(arduino->isHidden());
    QVERIFY(!arduino->isChecked());
    c->click();
    QVERIFY(arduino->isHidden());
}

QTEST_MAIN(TestSettingsPanels)
#include "tst_settingspanels.moc"
