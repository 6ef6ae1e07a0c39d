// The project commands and "Generate Code" through the real main window, offscreen: buttons pressed
// by object name, list rows ticked as a user would, every box answered through the dialog seam. The
// run itself (questions, stale files, backups, failures) is tested over a FakeHost in tst_generation
// and tst_usercode; here the window's part: its widgets feed the run and its list shows the result.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "mainwindow.h"
#include "scripteddialogs.h"
#include "testsupport.h"
#include "velkorconstants.h"

using namespace TestSupport;

namespace
{
// Row numbers of the module list.
enum Row
{
    RowPower = 1,
    RowPrompt = 2,
    RowBasicComms = 3,
    RowPin = 4,
    RowRssi = 5,
    RowNetworkRegistration = 6,
    RowSmsSend = 7,
    RowUssd = 9,
};
} // namespace

class TestGenerationWindow : public QObject
{
    Q_OBJECT

private:
    static void click(MainWindow& w, const char* button) { QTest::mouseClick(child<QAbstractButton>(w, button), Qt::LeftButton); }
    static void setRow(MainWindow& w, int row, bool ticked)
    {
        child<QListWidget>(w, "lstwgtModules")->item(row)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    static bool rowTicked(MainWindow& w, int row)
    {
        return child<QListWidget>(w, "lstwgtModules")->item(row)->checkState() == Qt::Checked;
    }

private slots:
    void newTickGenerateSwitchAndUntick();
    void saveAndOpenRestoreTheWindow();
};

void TestGenerationWindow::newTickGenerateSwitchAndUntick()
{
    QTemporaryDir dir;
    MainWindow w;
    w.show(); // laid out, so that clicks land on the buttons as they would for a user
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ScopedDialogs scoped;
    ScriptedDialogs& d = scoped.dialogs;

    // New: C, nothing ticked.
    d.folderAnswers.enqueue(dir.path());
    click(w, "btnProjectNew");
    QCOMPARE(child<QLineEdit>(w, "lnedtProjectPath")->text(), dir.path());
    QVERIFY(child<QRadioButton>(w, "optProjectIsC")->isChecked());
    QVERIFY(!rowTicked(w, RowPower));

    // Tick Pin and USSD, generate: the dependency check ticks what they need, silently.
    setRow(w, RowPin, true);
    setRow(w, RowUssd, true);
    d.shown.clear();
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), QStringList{QStringLiteral("Code Generated")});
    QVERIFY(rowTicked(w, RowNetworkRegistration) && rowTicked(w, RowBasicComms) && rowTicked(w, RowPrompt) &&
            rowTicked(w, RowPower));
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_USSD.c")));
    QVERIFY(writeText(dir.filePath("gsm_manager.c"),
                      withUserCode(readText(dir.filePath("gsm_manager.c")), "SysTime_ms", "    return HAL_GetTick();\n")));

    // C++ through the radio button ticks "Arduino Project": the Arduino layout, the user code carried
    // into gsm_manager.cpp; gsm_manager.c and the top-level Velkor folder removed on Yes.
    QTest::mouseClick(child<QRadioButton>(w, "optProjectIsCpp"), Qt::LeftButton);
    d.shown.clear();
    d.yesNoAnswers.enqueue(true);
    d.yesNoAnswers.enqueue(true);
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), (QStringList{"Remove File?", "Remove File?", "Code Generated"}));
    QVERIFY(readText(dir.filePath("gsm_manager.cpp")).contains("return HAL_GetTick();"));
    QVERIFY(!QFile::exists(dir.filePath("gsm_manager.c")) && !QFile::exists(dir.filePath("Velkor")));
    QVERIFY(readText(dir.filePath("gsm_manager.h")).contains("#include \"src/Velkor/GSM_USSD.h\""));

    // Unticking a row leaves its module out of the next run (its handler's region, with code of the
    // user's, goes: one warning, answered No).
    QVERIFY(writeText(dir.filePath("gsm_manager.cpp"), withUserCode(readText(dir.filePath("gsm_manager.cpp")),
                                                                   "gsmUssdEventHandler", "        reply();\n")));
    setRow(w, RowUssd, false);
    d.shown.clear();
    d.yesNoAnswers.enqueue(false);
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), (QStringList{"Warning", "Code Generated"}));
    QVERIFY(!QFile::exists(dir.filePath("src/Velkor/GSM_USSD.c")));
}

void TestGenerationWindow::saveAndOpenRestoreTheWindow()
{
    QTemporaryDir dir;
    ScopedDialogs scoped;
    ScriptedDialogs& d = scoped.dialogs;
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(child<QRadioButton>(w, "optProjectIsCpp"), Qt::LeftButton);
        setRow(w, RowRssi, true);
        setRow(w, RowSmsSend, true);
        setRow(w, RowNetworkRegistration, false);
        child<QSpinBox>(w, "spinMdl_Prompt_PromptBufferSize")->setValue(321);
        child<QCheckBox>(w, "chkMdl_Power_ResetEnabled")->setChecked(true);
        d.folderAnswers.enqueue(dir.path());
        click(w, "btnProjectSave"); // empty path: Save As
        QCOMPARE(d.titles(), (QStringList{"Select Folder", "Project Saved"}));
        QCOMPARE(d.shown.first().owner, Dialogs::Owner::MainWindow);
    }
    const QString file = readText(dir.filePath(Velkor::settingsFileName()));
    QVERIFY(file.contains("\"Language\": \"C++\""));
    QVERIFY(file.contains("\"CheckedModules\": [\n        \"\",\n        \"Power\",\n        \"Prompt\",\n        "
                          "\"BasicComms\",\n        \"RSSI\",\n        \"SMS_Send\"\n    ]"));

    MainWindow w;
    d.shown.clear();
    d.folderAnswers.enqueue(dir.path());
    click(w, "btnProjectOpen");
    QCOMPARE(d.titles(), QStringList{"Select Folder"});
    QCOMPARE(child<QLineEdit>(w, "lnedtProjectPath")->text(), dir.path());
    QVERIFY(child<QRadioButton>(w, "optProjectIsCpp")->isChecked());
    QVERIFY(child<QCheckBox>(w, "optProjectIsArduino")->isChecked());
    QVERIFY(rowTicked(w, RowRssi) && rowTicked(w, RowSmsSend) && !rowTicked(w, RowNetworkRegistration) &&
            !rowTicked(w, RowPin));
    QCOMPARE(child<QSpinBox>(w, "spinMdl_Prompt_PromptBufferSize")->value(), 321);
    QVERIFY(child<QCheckBox>(w, "chkMdl_Power_ResetEnabled")->isChecked());

    // Save on the opened project rewrites the same file.
    d.shown.clear();
    click(w, "btnProjectSave");
    QCOMPARE(d.titles(), QStringList{"Project Saved"});
    QCOMPARE(readText(dir.filePath(Velkor::settingsFileName())), file);
}

QTEST_MAIN(TestGenerationWindow)
#include "tst_generation_window.moc"
