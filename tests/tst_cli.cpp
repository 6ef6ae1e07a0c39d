// velkor-codegen, run as a separate process: every command and exit code, and for C, C++ and Arduino
// projects the same files as the window's "Generate Code" (a real MainWindow, offscreen, its boxes
// answered through the dialog seam), down to the last byte.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "mainwindow.h"
#include "scripteddialogs.h"
#include "testsupport.h"
#include "velkorconstants.h"

#ifndef VELKOR_CODEGEN_PATH
#error "VELKOR_CODEGEN_PATH must name the built velkor-codegen"
#endif

using namespace TestSupport;

namespace
{
struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runCli(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELKOR_CODEGEN_PATH), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
    {
        process.kill();
        run.err = QStringLiteral("<did not finish normally>");
        return run;
    }
    run.code = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The lines "create X", "change X", "delete X" that turn `before` into `after` (folders only when
// they appear or go).
QStringList difference(const Tree& before, const Tree& after)
{
    QStringList lines;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
    {
        if (!after.contains(it.key()))
            lines << QStringLiteral("delete ") + it.key();
        else if (!it.key().endsWith(QLatin1Char('/')) && after.value(it.key()) != it.value())
            lines << QStringLiteral("change ") + it.key();
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()))
            lines << QStringLiteral("create ") + it.key();
    lines.sort();
    return lines;
}

// Names the first difference of two trees, or returns an empty string when they are identical.
QString firstDifference(const Tree& a, const Tree& b)
{
    const QStringList lines = difference(a, b);
    return lines.isEmpty() ? QString() : lines.first();
}

QStringList dryRunLines(const QString& output)
{
    QStringList lines;
    static const QRegularExpression line(QStringLiteral("^(create|change|delete) .+$"),
                                         QRegularExpression::MultilineOption);
    QRegularExpressionMatchIterator it = line.globalMatch(output);
    while (it.hasNext())
        lines << it.next().captured(0);
    lines.sort();
    return lines;
}

bool writeSettings(const QString& folder, const QByteArray& json)
{
    return writeBytes(QDir(folder).filePath(Velkor::settingsFileName()), json);
}

void click(MainWindow& w, const char* button)
{
    QTest::mouseClick(child<QAbstractButton>(w, button), Qt::LeftButton);
}

// Opens `folder` in a fresh window and presses "Generate Code"; the Arduino box is unticked first
// when `noArduino`. Every question is answered No. Returns the titles of the boxes shown.
QStringList generateInWindow(const QString& folder, bool noArduino)
{
    MainWindow w;
    ScopedDialogs scoped;
    scoped.dialogs.folderAnswers.enqueue(folder);
    click(w, "btnProjectOpen");
    if (noArduino)
        child<QCheckBox>(w, "optProjectIsArduino")->setChecked(false);
    click(w, "btnGenerateCode");
    return scoped.dialogs.titles();
}

const QByteArray kCWithPinAndUssd = R"({"Language": "C", "CheckedModules": ["", "Pin", "USSD"]})";
const QByteArray kCWithPin = R"({"Language": "C", "CheckedModules": ["", "Pin"]})";
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void commandLineErrors_data();
    void commandLineErrors();
    void projectProblems_data();
    void projectProblems();
    void failedStepExitsWithOne_data();
    void failedStepExitsWithOne();
    void sameTreeAsWindow_data();
    void sameTreeAsWindow();
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();
    void backupDirSavesTheOldFile();
    void sourceChoiceCarriesThatFile();
    void dryRunPredictsTheRealRun_data();
    void dryRunPredictsTheRealRun();
    void dryRunWithFilesOfTheProjectsOwn();
    void checkReportsDependencies_data();
    void checkReportsDependencies();
    void exportExampleMatchesWindow_data();
    void exportExampleMatchesWindow();
    void exportManualCopiesThePdf();
    void listModulesMatchesTheWindow();
};

void TestCli::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected"); // in standard output or standard error

    QTest::newRow("version") << QStringList{"--version"} << 0 << "velkor-codegen 1.0";
    QTest::newRow("help lists exit codes") << QStringList{"--help"} << 0 << "  6  gsm_manager.c and gsm_manager.cpp";
    QTest::newRow("help after a command") << QStringList{"generate", "--help"} << 0 << "--backup-dir DIR";
    QTest::newRow("after -- a name, not the help") << QStringList{"generate", "--", "--help"} << 3
                                                   << "The project path specified does not exist";
    QTest::newRow("no arguments") << QStringList{} << 2 << "Usage: velkor-codegen";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "Unknown command 'frobnicate'";
    QTest::newRow("generate without folder") << QStringList{"generate"} << 2 << "exactly one PROJECT_DIR";
    QTest::newRow("generate with two folders") << QStringList{"generate", "%DIR%", "%DIR%"} << 2
                                               << "exactly one PROJECT_DIR";
    QTest::newRow("unknown option") << QStringList{"generate", "%DIR%", "--bogus"} << 2 << "Unknown option '--bogus'";
    QTest::newRow("bad source") << QStringList{"generate", "%DIR%", "--source", "java"} << 2
                                << "--source takes c or cpp";
    QTest::newRow("source without value") << QStringList{"generate", "%DIR%", "--source"} << 2 << "needs a value";
    QTest::newRow("value option followed by a flag") << QStringList{"generate", "%DIR%", "--backup-dir", "--dry-run"} << 2
                                                    << "--backup-dir needs a value";
    QTest::newRow("flag with value") << QStringList{"generate", "%DIR%", "--dry-run=yes"} << 2 << "takes no value";
    QTest::newRow("stale flags together") << QStringList{"generate", "%DIR%", "--delete-stale", "--keep-stale"} << 2
                                          << "exclude each other";
    QTest::newRow("backup dir is a file") << QStringList{"generate", "%DIR%", "--backup-dir", "%DIR%/file"} << 2
                                          << "is not a folder";
    QTest::newRow("check without folder") << QStringList{"check"} << 2 << "exactly one PROJECT_DIR";
    QTest::newRow("list-modules with argument") << QStringList{"list-modules", "x"} << 2 << "takes no arguments";
    QTest::newRow("unknown module id") << QStringList{"export-example", "Modem", "%DIR%/out"} << 2
                                       << "Unknown module id 'Modem'";
    QTest::newRow("module id in wrong case") << QStringList{"export-example", "pin", "%DIR%/out"} << 2
                                             << "Unknown module id 'pin'";
    QTest::newRow("start module id") << QStringList{"export-example", "", "%DIR%/out"} << 2 << "Unknown module id ''";
    QTest::newRow("module without examples") << QStringList{"export-example", "Power", "%DIR%/out"} << 2
                                             << "has no example projects";
    QTest::newRow("export without folder") << QStringList{"export-example", "Pin"} << 2 << "a MODULE_ID and a DIR";
    QTest::newRow("manual without folder") << QStringList{"export-manual"} << 2 << "exactly one DIR";
}

void TestCli::commandLineErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath("file"), "x"));
    for (QString& a : arguments)
        a.replace(QStringLiteral("%DIR%"), dir.path());
    const Tree before = snapshot(dir.path());

    const Run run = runCli(arguments);
    QCOMPARE(run.code, code);
    const QString all = run.out + run.err;
    QVERIFY2(all.contains(expected), qPrintable(all));
    if (code != 0)
        QVERIFY2(!run.err.isEmpty(), "errors go to standard error");
    QCOMPARE(firstDifference(before, snapshot(dir.path())), QString());
}

void TestCli::projectProblems_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing folder") << "missing" << "Project Path Error: The project path specified does not exist";
    QTest::newRow("folder is a file") << "file" << "Project Path Error: The project path specified does not exist";
    QTest::newRow("no settings file") << "nosettings"
                                      << "Velkor project settings not found at the specified path.";
    QTest::newRow("not JSON") << "garbage" << "is not valid JSON";
    QTest::newRow("empty file") << "empty" << "is not valid JSON";
    QTest::newRow("array root") << "array" << "does not hold a JSON object";
    QTest::newRow("settings file is a folder") << "folder" << "Read Error: Unable to open file";
}

void TestCli::projectProblems()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QString project = dir.filePath("project");
    QVERIFY(QDir().mkpath(project));
    const QString settings = QDir(project).filePath(Velkor::settingsFileName());
    if (setup == "missing")
        project = dir.filePath("no/such/folder");
    else if (setup == "file")
    {
        project = dir.filePath("plain.txt");
        QVERIFY(writeBytes(project, "text"));
    }
    else if (setup == "garbage")
        QVERIFY(writeBytes(settings, "{\"Language\": \"C\", oops"));
    else if (setup == "empty")
        QVERIFY(writeBytes(settings, ""));
    else if (setup == "array")
        QVERIFY(writeBytes(settings, "[\"C\"]"));
    else if (setup == "folder")
        QVERIFY(QDir().mkpath(settings));
    const Tree before = snapshot(dir.path());

    for (const QStringList& arguments : {QStringList{"generate", project}, QStringList{"generate", "--dry-run", project},
                                         QStringList{"check", project}})
    {
        const Run run = runCli(arguments);
        QCOMPARE(run.code, 3);
        QVERIFY2(run.err.contains(expected), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }
    QCOMPARE(firstDifference(before, snapshot(dir.path())), QString());
}

void TestCli::failedStepExitsWithOne_data()
{
    QTest::addColumn<QString>("blocked"); // a folder where the run has to write or read a file
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("settingsWritten");

    QTest::newRow("licence") << "LICENSE.txt"
                             << "Licensing Error: Unable to download LICENSE agreement. Please review folder write "
                                "permissions."
                             << true;
    QTest::newRow("header") << "gsm_manager.h" << "Read Error: Error encountered while trying to save 'USER CODE'"
                            << false;
    QTest::newRow("library folder") << "Velkor/GSM_PIN.c"
                                    << "Write Error: Failed to write library module files to specified directory."
                                    << true;
}

void TestCli::failedStepExitsWithOne()
{
    QFETCH(QString, blocked);
    QFETCH(QString, expected);
    QFETCH(bool, settingsWritten);
    QTemporaryDir dir;
    QVERIFY(writeSettings(dir.path(), kCWithPin));
    QVERIFY(QDir().mkpath(dir.filePath(blocked)));
    const Tree before = snapshot(dir.path());

    const Run run = runCli({"generate", dir.path()});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(expected), qPrintable(run.err));
    QVERIFY(!run.out.contains("Code generated successfully."));
    QCOMPARE(difference(before, snapshot(dir.path())).contains("change .velkor_codegenerator_settings"), settingsWritten);
}

void TestCli::sameTreeAsWindow_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second"); // settings of the regeneration, after user code was written
    QTest::addColumn<bool>("noArduino");

    QTest::newRow("C") << kCWithPinAndUssd << kCWithPinAndUssd << false;
    const QByteArray cpp = R"({"Language": "C++", "CheckedModules": ["", "SMS_Send", "RSSI"],
        "Prompt": {"IsPromptSetupSelected": true, "IsEchoCancSetupSelected": false, "IsCircularTxSetupSelected": true,
                   "IsCircularRxSetupSelected": false, "PromptBufferSize": 512, "EchoCancellationBufferSize": 64,
                   "CircularTxBufferSize": 2048, "CircularRxBufferSize": 256},
        "Power": {"UseResetPin": true}})";
    QTest::newRow("C++") << cpp << cpp << true;
    const QByteArray arduino = R"({"Language": "C++", "CheckedModules": ["", "MQTT_Client_SIMCom"],
        "InternetConnection_SIMCom": {"IsApnRequired": true},
        "GettingStarted": {"IsDebugOutputSetupSelected": true, "DebugBufferSize": 4096}})";
    QTest::newRow("Arduino") << arduino << arduino << false;
    // Options the window's panels adjust: sizes are clamped (echo off with echo cancellation on stays
    // as it is: the echo box drives echo cancellation only when clicked).
    const QByteArray odd = R"({"Language": "C", "CheckedModules": ["", "Pin", 7, null, "Nonsense"],
        "BasicComms": {"EchoEnabled": false},
        "Prompt": {"IsPromptSetupSelected": true, "IsEchoCancSetupSelected": true, "IsCircularTxSetupSelected": true,
                   "IsCircularRxSetupSelected": true, "PromptBufferSize": 3, "EchoCancellationBufferSize": 100,
                   "CircularTxBufferSize": 429496730, "CircularRxBufferSize": 12.5},
        "GettingStarted": {"IsDebugOutputSetupSelected": true, "DebugBufferSize": 0}})";
    QTest::newRow("options the panels adjust") << odd << odd << false;
    QTest::newRow("no language") << QByteArray(R"({"CheckedModules": ["", "RSSI"]})")
                                 << QByteArray(R"({"CheckedModules": ["", "RSSI"]})") << false;
    QTest::newRow("C to Arduino, stale files kept")
        << kCWithPin << QByteArray(R"({"Language": "C++", "CheckedModules": ["", "Pin"]})") << false;
    QTest::newRow("C++ to C, stale files kept")
        << QByteArray(R"({"Language": "C++", "CheckedModules": ["", "USSD"]})") << kCWithPinAndUssd << true;
}

void TestCli::sameTreeAsWindow()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, noArduino);
    QTemporaryDir dir;
    const QString byWindow = dir.filePath("window");
    const QString byCli = dir.filePath("cli");
    QVERIFY(QDir().mkpath(byWindow) && QDir().mkpath(byCli));
    QStringList cliArguments{"generate", byCli};
    if (noArduino)
        cliArguments << "--no-arduino";

    for (int pass = 0; pass < 2; ++pass)
    {
        const QByteArray settings = pass == 0 ? first : second;
        QVERIFY(writeSettings(byWindow, settings) && writeSettings(byCli, settings));
        if (pass == 1)
        {
            // The user's own code in both projects, in regions of the header and of the source.
            for (const QString& folder : {byWindow, byCli})
            {
                const QString source = QDir(folder).filePath(QFile::exists(QDir(folder).filePath("gsm_manager.c"))
                                                                 ? "gsm_manager.c"
                                                                 : "gsm_manager.cpp");
                QVERIFY(putUserCode(source, "SysTime_ms", "    return HAL_GetTick(); /* $1 %1 \\ */\n"));
                QVERIFY(putUserCode(source, "Init", "    board_init();\n"));
                // A byte that is not UTF-8 (a file saved as Latin-1 by an IDE) must survive as it is.
                QByteArray bytes = readBytes(source);
                bytes.replace("board_init();", "board_init(); /* caf\xE9 */");
                QVERIFY(writeBytes(source, bytes));
                QVERIFY(putUserCode(QDir(folder).filePath("gsm_manager.h"), "Includes", "#include \"board.h\"\n"));
            }
        }
        const QStringList titles = generateInWindow(byWindow, noArduino);
        QVERIFY2(titles.endsWith(QStringLiteral("Code Generated")), qPrintable(titles.join(", ")));
        const Run run = runCli(cliArguments);
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.out.contains("Code Generated: Code generated successfully."));

        const Tree windowTree = snapshot(byWindow);
        const Tree cliTree = snapshot(byCli);
        QVERIFY(windowTree.contains("gsm_manager.h"));
        QCOMPARE(firstDifference(windowTree, cliTree), QString());
    }
    QVERIFY(QString::fromUtf8(readBytes(QDir(byCli).filePath("gsm_manager.h"))).contains("#include \"board.h\""));
    const QString cliSource = QDir(byCli).filePath(QFile::exists(QDir(byCli).filePath("gsm_manager.cpp"))
                                                       ? "gsm_manager.cpp"
                                                       : "gsm_manager.c");
    QVERIFY(readBytes(cliSource).contains("board_init(); /* caf\xE9 */"));
}

namespace
{
// A generated C project with user code in its manager. Either the settings file no longer lists
// USSD, whose region holds user code (regenerating drops that region), or a gsm_manager.cpp with
// other user code stands next to gsm_manager.c.
bool prepareBothSourcesOrDroppedRegion(const QString& project, bool bothSources)
{
    if (!QDir().mkpath(project) || !writeSettings(project, kCWithPinAndUssd))
        return false;
    if (runCli({"generate", project}).code != 0)
        return false;
    const QString source = QDir(project).filePath("gsm_manager.c");
    if (bothSources)
        return putUserCode(source, "Init", "    from_c();\n") &&
               QFile::copy(source, QDir(project).filePath("gsm_manager.cpp")) &&
               putUserCode(QDir(project).filePath("gsm_manager.cpp"), "Init", "    from_cpp();\n");
    return putUserCode(source, "gsmUssdEventHandler", "        show_balance(_data);\n") &&
           putUserCode(source, "SysTime_ms", "    return ticks;\n") && writeSettings(project, kCWithPin);
}
} // namespace

void TestCli::refusalsWriteNothing_data()
{
    QTest::addColumn<QString>("setup"); // "both": both manager sources; else a USER CODE region is dropped
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");

    QTest::newRow("user code would be lost") << "dropped" << QStringList{} << 5
                                             << "gsm_manager.c: USER CODE gsmUssdEventHandler";
    QTest::newRow("user code would be lost, dry run") << "dropped" << QStringList{"--dry-run"} << 5
                                                      << "gsm_manager.c: USER CODE gsmUssdEventHandler";
    QTest::newRow("backup into the project folder") << "dropped" << QStringList{"--backup-dir", "%PROJECT%"} << 2
                                                    << "must not be the project folder";
    QTest::newRow("backup into the library folder")
        << "dropped" << QStringList{"--backup-dir", "%PROJECT%/Velkor"} << 2
        << "must not be the project folder or its library folder";
    QTest::newRow("backup into a new folder in the library folder")
        << "dropped" << QStringList{"--backup-dir", "%PROJECT%/Velkor/keep"} << 2
        << "must not be the project folder or its library folder";
    QTest::newRow("both manager sources") << "both" << QStringList{} << 6
                                          << "The specified directory includes a gsm_manager.cpp and gsm_manager.c file.";
}

void TestCli::refusalsWriteNothing()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, flags);
    QFETCH(int, code);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString project = dir.filePath("project");
    QVERIFY(prepareBothSourcesOrDroppedRegion(project, setup == "both"));
    flags.replaceInStrings(QStringLiteral("%PROJECT%"), project);
    const Tree before = snapshot(dir.path());

    const Run run = runCli(QStringList{"generate", project} + flags);
    QCOMPARE(run.code, code);
    QVERIFY2(run.err.contains(expected), qPrintable(run.err));
    if (code == 5)
    {
        QVERIFY(!run.err.contains("SysTime_ms")); // carried over, so not listed
        QVERIFY(run.err.contains("Nothing was written"));
    }
    QCOMPARE(firstDifference(before, snapshot(dir.path())), QString());
}

void TestCli::backupDirSavesTheOldFile()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("project");
    QVERIFY(prepareBothSourcesOrDroppedRegion(project, false));
    const QByteArray oldSource = readBytes(QDir(project).filePath("gsm_manager.c"));
    const QString backups = dir.filePath("backups/nested"); // created on demand

    const Run run = runCli({"generate", project, "--backup-dir", backups});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(readBytes(QDir(backups).filePath("gsm_manager.c")), oldSource);
    QVERIFY(!QFile::exists(QDir(backups).filePath("gsm_manager.h"))); // nothing of the header was dropped
    const QString newSource = QString::fromUtf8(readBytes(QDir(project).filePath("gsm_manager.c")));
    QVERIFY(newSource.contains("return ticks;"));
    QVERIFY(!newSource.contains("show_balance"));
    QVERIFY(!QFile::exists(QDir(project).filePath("Velkor/GSM_USSD.c")));
}

void TestCli::sourceChoiceCarriesThatFile()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("project");
    QVERIFY(prepareBothSourcesOrDroppedRegion(project, true));
    const Run run = runCli({"generate", project, "--source", "cpp"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    // C output: the merged text of gsm_manager.cpp goes to gsm_manager.c; the .cpp is kept (no --delete-stale).
    QVERIFY(QString::fromUtf8(readBytes(QDir(project).filePath("gsm_manager.c"))).contains("from_cpp();"));
    QVERIFY(QFile::exists(QDir(project).filePath("gsm_manager.cpp")));
}

void TestCli::dryRunPredictsTheRealRun_data()
{
    QTest::addColumn<QByteArray>("before");   // settings of an earlier generation, or empty for none
    QTest::addColumn<QByteArray>("settings"); // settings for the run
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("mustList");

    QTest::newRow("fresh project") << QByteArray() << kCWithPin << QStringList{} << 0
                                   << QStringList{"create gsm_manager.c", "create Velkor/GSM_PIN.c", "create LICENSE.txt"};
    QTest::newRow("unchanged project") << kCWithPin << kCWithPin << QStringList{} << 0 << QStringList{};
    QTest::newRow("module removed, backup") << kCWithPinAndUssd << kCWithPin
                                            << QStringList{"--backup-dir", "%BACKUP%"} << 0
                                    << QStringList{"delete Velkor/GSM_USSD.c", "change gsm_manager.c",
                                                   "change .velkor_codegenerator_settings"};
    QTest::newRow("C to Arduino, delete stale")
        << kCWithPin << QByteArray(R"({"Language": "C++", "CheckedModules": ["", "Pin"]})")
        << QStringList{"--delete-stale"} << 0
        << QStringList{"delete gsm_manager.c", "create gsm_manager.cpp", "delete Velkor/", "create src/Velkor/GSM_PIN.c"};
    QTest::newRow("C to C++, keep stale")
        << kCWithPin << QByteArray(R"({"Language": "C++", "CheckedModules": ["", "Pin"]})")
        << QStringList{"--no-arduino", "--keep-stale"} << 0 << QStringList{"create gsm_manager.cpp"};
    QTest::newRow("dependency messages")
        << QByteArray() << QByteArray(R"({"Language": "C", "CheckedModules": ["", "HTTP_Client_SIMCom"]})")
        << QStringList{} << 4 << QStringList{"change .velkor_codegenerator_settings"};
}

void TestCli::dryRunPredictsTheRealRun()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, flags);
    QFETCH(int, code);
    QFETCH(QStringList, mustList);
    QTemporaryDir dir;
    QTemporaryDir backupParent;
    const QString backups = backupParent.filePath("backups");
    for (QString& flag : flags)
        flag.replace(QStringLiteral("%BACKUP%"), backups);
    const QString project = dir.path();
    if (!before.isEmpty())
    {
        QVERIFY(writeSettings(project, before));
        QVERIFY(runCli({"generate", project}).code == 0);
        QVERIFY(putUserCode(QDir(project).filePath("gsm_manager.c"), "Init", "    mine();\n"));
        // code of the user's in a handler of a module that the row removes
        if (before == kCWithPinAndUssd)
            QVERIFY(putUserCode(QDir(project).filePath("gsm_manager.c"), "gsmUssdEventHandler", "        reply();\n"));
    }
    QVERIFY(writeSettings(project, settings));
    const Tree start = snapshot(project);

    const Run dry = runCli(QStringList{"generate", project, "--dry-run"} + flags);
    QCOMPARE(dry.code, code);
    QVERIFY(dry.out.contains("Dry run: nothing was written."));
    QCOMPARE(firstDifference(start, snapshot(project)), QString());
    QVERIFY(!QFile::exists(backups));
    const QStringList predicted = dryRunLines(dry.out);
    for (const QString& line : mustList)
        QVERIFY2(predicted.contains(line), qPrintable(line + " missing from:\n" + dry.out));

    const Run real = runCli(QStringList{"generate", project} + flags);
    QCOMPARE(real.code, code);
    QCOMPARE(predicted, difference(start, snapshot(project)));
    if (flags.contains(backups))
    {
        QVERIFY(dry.out.contains(QStringLiteral("backup ") + QDir(backups).filePath("gsm_manager.c")));
        QVERIFY(QFile::exists(QDir(backups).filePath("gsm_manager.c")));
    }
    if (code == 4)
    {
        QVERIFY2(real.err.contains("Module Dependencies: No Internet Connection module was selected."),
                 qPrintable(real.err));
        // the window's "has now been selected" holds for the window only: nothing was saved here
        QVERIFY2(real.err.contains("(Nothing was selected in the settings file: add \"InternetConnection_SIMCom\""),
                 qPrintable(real.err));
    }
}

// The dry run copies only what a generation touches, and still predicts the real run where the
// project holds files of its own: a src folder with the user's sketch next to an old library, build
// output.
void TestCli::dryRunWithFilesOfTheProjectsOwn()
{
    QTemporaryDir dir;
    const QString project = dir.path();
    QVERIFY(writeSettings(project, R"({"Language": "C++", "CheckedModules": ["", "Pin"]})"));
    QVERIFY(runCli({"generate", project}).code == 0);
    QVERIFY(QFile::exists(QDir(project).filePath("src/Velkor/GSM_PIN.c")));
    QVERIFY(writeBytes(QDir(project).filePath("src/main.cpp"), "int main() { return 0; }\n"));
    QVERIFY(QDir(project).mkpath("Debug/obj"));
    QVERIFY(writeBytes(QDir(project).filePath("Debug/obj/main.o"), "\x7f" "ELF"));
    const Tree start = snapshot(project);

    const QStringList flags{"--no-arduino", "--delete-stale"};
    const Run dry = runCli(QStringList{"generate", project, "--dry-run"} + flags);
    QCOMPARE(dry.code, 0);
    QCOMPARE(firstDifference(start, snapshot(project)), QString());
    const QStringList predicted = dryRunLines(dry.out);
    QVERIFY2(predicted.contains("delete src/Velkor/"), qPrintable(dry.out));
    QVERIFY2(!predicted.contains("delete src/") && !predicted.contains("delete src/main.cpp"), qPrintable(dry.out));

    const Run real = runCli(QStringList{"generate", project} + flags);
    QCOMPARE(real.code, 0);
    QCOMPARE(predicted, difference(start, snapshot(project)));
    QVERIFY(QFile::exists(QDir(project).filePath("src/main.cpp")));
    QVERIFY(QFile::exists(QDir(project).filePath("Debug/obj/main.o")));
}

void TestCli::checkReportsDependencies_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("complete selection") << QByteArray(R"({"Language": "C", "CheckedModules": ["", "Power"]})") << 0
                                        << QStringList{"generation would proceed"};
    QTest::newRow("pin adds its base") << kCWithPin << 0
                                       << QStringList{"  BasicComms (Basic Comms)", "  Prompt (Prompt)",
                                                      "generation would proceed"};
    QTest::newRow("http without connection")
        << QByteArray(R"({"Language": "C", "CheckedModules": ["", "HTTP_Client_SIMCom"]})") << 4
        << QStringList{"No Internet Connection module was selected. 'Internet Connection (SIMCom LTE)' has now been "
                       "selected as a default",
                       "  InternetConnection_SIMCom (Internet Connection (SIMCom LTE))"};
    QTest::newRow("both connections")
        << QByteArray(R"({"Language": "C", "CheckedModules": ["", "InternetConnection_SIMCom", "InternetConnection_SIMCom2G"]})")
        << 4 << QStringList{"Please choose only one of the \"Internet Connection\" modules."};
}

void TestCli::checkReportsDependencies()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, code);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(writeSettings(dir.path(), settings));
    const Tree before = snapshot(dir.path());
    const Run run = runCli({"check", dir.path()});
    QCOMPARE(run.code, code);
    for (const QString& text : expected)
        QVERIFY2(run.out.contains(text), qPrintable(run.out));
    QCOMPARE(firstDifference(before, snapshot(dir.path())), QString());
}

void TestCli::exportExampleMatchesWindow_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("connection"); // --connection value, empty for none
    QTest::addColumn<QString>("answer");     // what the window's "LTE or 2G" box is answered

    QTest::newRow("Pin") << "Pin" << QString() << QString();
    QTest::newRow("HTTP over 2G") << "HTTP_Client_SIMCom" << "2g" << "SIMCom 2G";
    QTest::newRow("HTTP over LTE") << "HTTP_Client_SIMCom" << "lte" << "SIMCom LTE";
}

void TestCli::exportExampleMatchesWindow()
{
    QFETCH(QString, id);
    QFETCH(QString, connection);
    QFETCH(QString, answer);
    if (!QFile::exists(QStringLiteral(":/examples/resources/examples/") + id + QStringLiteral(".zip")))
        QSKIP("this build embeds no example archive for the module");
    QTemporaryDir dir;
    const QString byWindow = dir.filePath("window");
    const QString byCli = dir.filePath("cli/new"); // created by the command
    QVERIFY(QDir().mkpath(byWindow));

    {
        MainWindow w;
        ScopedDialogs scoped;
        child<QListWidget>(w, "lstwgtModules")->setCurrentRow(w.guiModuleIndexInList(w.moduleById(id)));
        scoped.dialogs.folderAnswers.enqueue(byWindow);
        if (!answer.isEmpty())
            scoped.dialogs.choiceAnswers.enqueue(answer);
        click(w, "btnDownloadExample");
        QCOMPARE(scoped.dialogs.titles().last(), QStringLiteral("Example Downloaded"));
    }

    QStringList arguments{"export-example", id, byCli};
    if (!connection.isEmpty())
        arguments << "--connection" << connection;
    const Run run = runCli(arguments);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY(run.out.contains("Example Downloaded: Example downloaded successfully."));
    const Tree cliTree = snapshot(byCli);
    QVERIFY(cliTree.size() > 5);
    QCOMPARE(firstDifference(snapshot(byWindow), cliTree), QString());

    if (id == "HTTP_Client_SIMCom")
    {
        // The connection must be chosen explicitly, and only for the HTTP client.
        QCOMPARE(runCli({"export-example", id, dir.filePath("x")}).code, 2);
        QCOMPARE(runCli({"export-example", id, dir.filePath("x"), "--connection", "5g"}).code, 2);
        QVERIFY(!QFile::exists(dir.filePath("x")));
    }
    else
        QCOMPARE(runCli({"export-example", id, dir.filePath("x"), "--connection", "lte"}).code, 2);
}

void TestCli::exportManualCopiesThePdf()
{
    const QString resource = QStringLiteral(":/user_manual/resources/user_manual/Velkor User Manual.pdf");
    if (!QFile::exists(resource))
        QSKIP("this build embeds no user manual");
    QTemporaryDir dir;
    const QString target = dir.filePath("docs");
    const Run run = runCli({"export-manual", target});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(readBytes(QDir(target).filePath("Velkor User Manual.pdf")), readBytes(resource));

    // A destination that cannot be a folder is reported, not ignored.
    QVERIFY(writeBytes(dir.filePath("blocker"), "x"));
    const Run blocked = runCli({"export-manual", dir.filePath("blocker")});
    QCOMPARE(blocked.code, 1);
    QVERIFY(!blocked.err.isEmpty());
}

void TestCli::listModulesMatchesTheWindow()
{
    const Run run = runCli({"list-modules"});
    QCOMPARE(run.code, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'));

    // Every row of the window's module list appears with its id and its text (without indentation).
    MainWindow w;
    QListWidget* list = child<QListWidget>(w, "lstwgtModules");
    for (int row = 0; row < 14; ++row)
    {
        VelkorMdl* module = w.moduleByIndex(row);
        const QString idColumn = module->id().isEmpty() ? QStringLiteral("\"\"") : module->id();
        const QString title = list->item(row)->text().trimmed();
        const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(idColumn) +
                                      QStringLiteral("\\s.*\\s") + QRegularExpression::escape(title) +
                                      QStringLiteral("\\s+(yes|no)$"));
        bool found = false;
        for (const QString& l : lines)
            found = found || line.match(l).hasMatch();
        QVERIFY2(found, qPrintable(idColumn + " / " + title));
    }
    for (const char* option : {"    Prompt.PromptBufferSize = 1024 (default)", "    BasicComms.EchoEnabled = true (default)",
                               "    Power.UseResetPin = false (default)",
                               "    InternetConnection_SIMCom2G.IsApnRequired = false (default)"})
        QVERIFY2(lines.contains(QLatin1String(option)), option);
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
