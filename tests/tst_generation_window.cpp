// The project commands and "Generate Code" through the real main window, offscreen: buttons pressed
// by object name, list rows ticked as a user would, every box answered through the dialog seam.

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
    template <typename T>
    static T* widget(MainWindow& w, const char* name)
    {
        return child<T>(w, QLatin1String(name));
    }
    static void click(MainWindow& w, const char* button) { QTest::mouseClick(widget<QAbstractButton>(w, button), Qt::LeftButton); }
    static void setRow(MainWindow& w, int row, bool ticked)
    {
        widget<QListWidget>(w, "lstwgtModules")->item(row)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    static bool rowTicked(MainWindow& w, int row)
    {
        return widget<QListWidget>(w, "lstwgtModules")->item(row)->checkState() == Qt::Checked;
    }

private slots:
    void newTickGenerateSwitchAndUntick();
    void saveAndOpenRestoreTheWindow();
};

void TestGenerationWindow::newTickGenerateSwitchAndUntick()
{
    QTemporaryDir dir;
    QTemporaryDir backup;
    MainWindow w;
    w.show(); // laid out, so that clicks land on the buttons as they would for a user
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ScopedDialogs scoped;
    ScriptedDialogs& d = scoped.dialogs;

    // New: C, nothing ticked.
    d.folderAnswers.enqueue(dir.path());
    click(w, "btnProjectNew");
    QCOMPARE(widget<QLineEdit>(w, "lnedtProjectPath")->text(), dir.path());
    QVERIFY(widget<QRadioButton>(w, "optProjectIsC")->isChecked());
    QVERIFY(!rowTicked(w, RowPower));

    // Tick Pin and USSD, generate: the dependency check ticks what they need, silently.
    setRow(w, RowPin, true);
    setRow(w, RowUssd, true);
    d.shown.clear();
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), QStringList{QStringLiteral("Code Generated")});
    QVERIFY(rowTicked(w, RowNetworkRegistration) && rowTicked(w, RowBasicComms) && rowTicked(w, RowPrompt) &&
            rowTicked(w, RowPower));
    QVERIFY(QFile::exists(dir.filePath("gsm_manager.c")));
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_USSD.c")));
    QVERIFY(!readText(dir.filePath("gsm_manager.c")).contains("extern \"C\""));

    // Write code into the regions.
    QString source = readText(dir.filePath("gsm_manager.c"));
    source = withUserCode(source, "SysTime_ms", "    return HAL_GetTick();\n");
    source = withUserCode(source, "gsmUssdEventHandler", "        ussd_seen(\"$1 %1 \\\\\");\n");
    source = withUserCode(source, "gsmWrite", "    uart_put(_data);\n");
    const QString header = withUserCode(readText(dir.filePath("gsm_manager.h")), "Exported Variables", "extern int gBoard;\n");
    QVERIFY(!source.isEmpty() && !header.isEmpty());
    QVERIFY(writeText(dir.filePath("gsm_manager.c"), source));
    QVERIFY(writeText(dir.filePath("gsm_manager.h"), header));
    const QStringList mine{"return HAL_GetTick();", "ussd_seen(\"$1 %1 \\\\\");", "uart_put(_data);"};
    auto carried = [&](const QString& file) {
        const QString text = readText(dir.filePath(file));
        for (const QString& line : mine)
            if (!text.contains(line))
                return false;
        return readText(dir.filePath("gsm_manager.h")).contains("extern int gBoard;");
    };

    // C to C++ (the window ticks "Arduino Project"; untick it for plain C++). Keep gsm_manager.c.
    QTest::mouseClick(widget<QRadioButton>(w, "optProjectIsCpp"), Qt::LeftButton);
    QVERIFY(widget<QCheckBox>(w, "optProjectIsArduino")->isChecked());
    widget<QCheckBox>(w, "optProjectIsArduino")->setChecked(false);
    d.shown.clear();
    d.yesNoAnswers.enqueue(false);
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), (QStringList{"Remove File?", "Code Generated"}));
    QVERIFY(carried("gsm_manager.cpp"));
    QVERIFY(QFile::exists(dir.filePath("gsm_manager.c")));
    QVERIFY(readText(dir.filePath("gsm_manager.cpp")).contains("extern \"C\" {"));

    // Now both sources exist: C++ to Arduino asks which to read, then about gsm_manager.c (Yes) and the
    // top-level Velkor folder (Yes).
    widget<QCheckBox>(w, "optProjectIsArduino")->setChecked(true);
    d.shown.clear();
    d.choiceAnswers.enqueue(QStringLiteral("gsm_manager.cpp"));
    d.yesNoAnswers.enqueue(true);
    d.yesNoAnswers.enqueue(true);
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), (QStringList{"Select Input File", "Remove File?", "Remove File?", "Code Generated"}));
    QVERIFY(carried("gsm_manager.cpp"));
    QVERIFY(!QFile::exists(dir.filePath("gsm_manager.c")));
    QVERIFY(!QFile::exists(dir.filePath("Velkor")));
    QVERIFY(QFile::exists(dir.filePath("src/Velkor/GSM_USSD.h")));
    QVERIFY(readText(dir.filePath("gsm_manager.h")).contains("#include \"src/Velkor/GSM_USSD.h\""));

    // Back to C: the Arduino box is unticked, gsm_manager.c written, .cpp and src removed on Yes.
    QTest::mouseClick(widget<QRadioButton>(w, "optProjectIsC"), Qt::LeftButton);
    QVERIFY(widget<QRadioButton>(w, "optProjectIsC")->isChecked());
    d.shown.clear();
    d.yesNoAnswers.enqueue(true);
    d.yesNoAnswers.enqueue(true);
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles().join('|'), QStringLiteral("Remove File?|Remove File?|Code Generated"));
    QVERIFY(carried("gsm_manager.c"));
    QVERIFY(!QFile::exists(dir.filePath("gsm_manager.cpp")) && !QFile::exists(dir.filePath("src")));
    QVERIFY(!widget<QCheckBox>(w, "optProjectIsArduino")->isChecked());

    // Untick USSD: one warning for gsm_manager.c; Yes, backup into another folder.
    const QString beforeUntick = readText(dir.filePath("gsm_manager.c"));
    setRow(w, RowUssd, false);
    d.shown.clear();
    d.yesNoAnswers.enqueue(true);
    d.folderAnswers.enqueue(backup.path());
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), (QStringList{"Warning", "Select Folder", "Code Generated"}));
    QCOMPARE(d.shown.first().icon, Dialogs::Icon::Warning);
    QCOMPARE(readText(backup.filePath("gsm_manager.c")), beforeUntick);
    const QString after = readText(dir.filePath("gsm_manager.c"));
    QVERIFY(after.contains("return HAL_GetTick();") && after.contains("uart_put(_data);"));
    QVERIFY(!after.contains("ussd_seen"));
    QVERIFY(!QFile::exists(dir.filePath("Velkor/GSM_USSD.c")));

    // Regenerating once more changes nothing and asks nothing.
    d.shown.clear();
    click(w, "btnGenerateCode");
    QCOMPARE(d.titles(), QStringList{QStringLiteral("Code Generated")});
    QCOMPARE(readText(dir.filePath("gsm_manager.c")), after);
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
        QTest::mouseClick(widget<QRadioButton>(w, "optProjectIsCpp"), Qt::LeftButton);
        setRow(w, RowRssi, true);
        setRow(w, RowSmsSend, true);
        setRow(w, RowNetworkRegistration, false);
        widget<QSpinBox>(w, "spinMdl_Prompt_PromptBufferSize")->setValue(321);
        widget<QCheckBox>(w, "chkMdl_Power_ResetEnabled")->setChecked(true);
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
    QCOMPARE(widget<QLineEdit>(w, "lnedtProjectPath")->text(), dir.path());
    QVERIFY(widget<QRadioButton>(w, "optProjectIsCpp")->isChecked());
    QVERIFY(widget<QCheckBox>(w, "optProjectIsArduino")->isChecked());
    QVERIFY(rowTicked(w, RowRssi) && rowTicked(w, RowSmsSend) && !rowTicked(w, RowNetworkRegistration) &&
            !rowTicked(w, RowPin));
    QCOMPARE(widget<QSpinBox>(w, "spinMdl_Prompt_PromptBufferSize")->value(), 321);
    QVERIFY(widget<QCheckBox>(w, "chkMdl_Power_ResetEnabled")->isChecked());

    // Save on the opened project rewrites the same file.
    d.shown.clear();
    click(w, "btnProjectSave");
    QCOMPARE(d.titles(), QStringList{"Project Saved"});
    QCOMPARE(readText(dir.filePath(Velkor::settingsFileName())), file);
}

QTEST_MAIN(TestGenerationWindow)
#include "tst_generation_window.moc"
