// The project settings file and the New / Open / Save / Save As commands over a ProjectHost.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "fakehost.h"
#include "generator.h"
#include "projectsettings.h"
#include "scripteddialogs.h"
#include "testsupport.h"
#include "velkorconstants.h"

using namespace TestSupport;

namespace
{
QString settingsPath(const QTemporaryDir& dir)
{
    return dir.filePath(QStringLiteral(".velkor_codegenerator_settings"));
}

// Every option of every module away from its default, and a distinctive selection.
void setUnusualProject(FakeHost& host)
{
    host.setFlavour(QStringLiteral("C++"));
    host.arduino = false; // not stored: comes back ticked for C++
    host.tick({&host.modules.power, &host.modules.prompt, &host.modules.basicComms, &host.modules.rssi,
               &host.modules.smsRead, &host.modules.internetConnectionSimcom2G, &host.modules.mqttClientSimcom});
    VelkorModules& m = host.modules;
    m.gettingStarted.isDebugOutputSetupSelected = !m.gettingStarted.isDebugOutputSetupSelected;
    m.gettingStarted.debugBufferSize = 333;
    m.power.useResetPin = !m.power.useResetPin;
    m.prompt.isPromptSetupSelected = !m.prompt.isPromptSetupSelected;
    m.prompt.isEchoCancSetupSelected = !m.prompt.isEchoCancSetupSelected;
    m.prompt.isCircularTxSetupSelected = !m.prompt.isCircularTxSetupSelected;
    m.prompt.isCircularRxSetupSelected = !m.prompt.isCircularRxSetupSelected;
    m.prompt.promptBufferSize = 111;
    m.prompt.echoCancellationBufferSize = 222;
    m.prompt.circularTxBufferSize = 444;
    m.prompt.circularRxBufferSize = 555;
    m.basicComms.echoEnabled = !m.basicComms.echoEnabled;
    m.internetConnectionSimcom.isApnRequired = !m.internetConnectionSimcom.isApnRequired;
    m.internetConnectionSimcom2G.isApnRequired = !m.internetConnectionSimcom2G.isApnRequired;
}
} // namespace

class TestProjectSettings : public QObject
{
    Q_OBJECT

private slots:
    void fileFormatIsSortedFourSpaceJson();
    void saveOpenRoundTripRestoresEverything();
    void cppLayoutIsSavedAndRestored_data();
    void cppLayoutIsSavedAndRestored();
    void malformedFilesChangeNothing_data();
    void malformedFilesChangeNothing();
    void partialFiles_data();
    void partialFiles();
    void unknownTopLevelMembersAreDroppedOnSave();
    void saveIntoMissingFolderWritesNothing();
    void failedSaveIsReported();

    void newSetsDefaultsAndWritesNothing();
    void newCancelledChangesNothing();
    void openWithoutUsableSettings();
    void saveCommands_data();
    void saveCommands();
};

void TestProjectSettings::fileFormatIsSortedFourSpaceJson()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    // Nothing ticked: the Start module's empty id alone.
    QVERIFY(ProjectSettings::save(host));
    QVERIFY(readBytes(settingsPath(dir)).contains("    \"CheckedModules\": [\n        \"\"\n    ],\n"));
    host.tick({&host.modules.power, &host.modules.pin});
    QVERIFY(ProjectSettings::save(host));
    const QByteArray text = readBytes(settingsPath(dir));

    // The exact layout: sorted keys, four blanks per level, one member per line, final line end.
    QVERIFY2(text.startsWith("{\n    \"BasicComms\": {\n        \""), text.constData());
    QVERIFY(text.contains("    \"CheckedModules\": [\n        \"\",\n        \"Power\",\n        \"Pin\"\n    ],\n"));
    QVERIFY(text.contains("    \"Language\": \"C\",\n"));
    QVERIFY(text.endsWith("}\n"));
    QVERIFY(!text.contains('\t'));
    const QJsonObject root = QJsonDocument::fromJson(text).object();
    QStringList keys = root.keys();
    QCOMPARE(keys, (QStringList{"BasicComms", "CheckedModules", "GettingStarted", "InternetConnection_SIMCom",
                                "InternetConnection_SIMCom2G", "Language", "Power", "Prompt"}));
    // Keys appear in the file in sorted order.
    int last = -1;
    for (const QString& key : keys)
    {
        const int at = text.indexOf("\n    \"" + key.toUtf8() + "\"");
        QVERIFY2(at > last, qPrintable(key));
        last = at;
    }
    QCOMPARE(root.value("Power").toObject().value("UseResetPin").type(), QJsonValue::Bool);
}

void TestProjectSettings::saveOpenRoundTripRestoresEverything()
{
    QTemporaryDir dir;
    FakeHost saved;
    saved.path = dir.path();
    setUnusualProject(saved);
    ScopedDialogs scoped;
    ProjectSettings::commandSave(saved);
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Project Saved")});
    QCOMPARE(scoped.dialogs.shown.first().text, QStringLiteral("Project settings saved."));

    FakeHost loaded; // fresh defaults, C
    scoped.dialogs.clear();
    scoped.dialogs.folderAnswers.enqueue(dir.path());
    ProjectSettings::commandOpen(loaded);
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Select Folder")});
    QCOMPARE(scoped.dialogs.shown.first().owner, Dialogs::Owner::MainWindow);
    QCOMPARE(loaded.path, dir.path());
    QVERIFY(loaded.cpp && !loaded.c);
    QCOMPARE(loaded.checkedModules().size(), saved.checkedModules().size());
    for (int i = 0; i < saved.allModules().size(); ++i)
        QCOMPARE(loaded.isModuleChecked(loaded.allModules()[i]), saved.isModuleChecked(saved.allModules()[i]));
    QCOMPARE(loaded.applyCount, 1);
    // Saving the loaded project gives the same file, so every option made the trip.
    QCOMPARE(ProjectSettings::toText(ProjectSettings::build(loaded)), readBytes(settingsPath(dir)));
    QCOMPARE(loaded.modules.prompt.circularRxBufferSize, 555.0);
    QCOMPARE(loaded.modules.power.useResetPin, saved.modules.power.useResetPin);
}

void TestProjectSettings::cppLayoutIsSavedAndRestored_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: saved from the flavour below
    QTest::addColumn<QString>("flavour");
    QTest::addColumn<bool>("arduino");       // the box after opening
    QTest::newRow("plain C++ stays plain") << QByteArray() << "C++" << false;
    QTest::newRow("Arduino stays Arduino") << QByteArray() << "Arduino" << true;
    QTest::newRow("older file without the member: Arduino")
        << QByteArray(R"({"Language":"C++","CheckedModules":[""]})") << "C++" << true;
    QTest::newRow("a member that is not a boolean: Arduino")
        << QByteArray(R"({"Language":"C++","Arduino":"no","CheckedModules":[""]})") << "C++" << true;
    QTest::newRow("C ignores the member")
        << QByteArray(R"({"Language":"C","Arduino":true,"CheckedModules":[""]})") << "C" << false;
}

// Opening a plain C++ project again must not switch it to the Arduino layout (which would move the
// library to src/Velkor on the next generation).
void TestProjectSettings::cppLayoutIsSavedAndRestored()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, flavour);
    QFETCH(bool, arduino);
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    if (content.isEmpty())
    {
        host.setFlavour(flavour);
        QVERIFY(ProjectSettings::save(host));
        QCOMPARE(QJsonDocument::fromJson(readBytes(settingsPath(dir))).object().value("Arduino").toBool(true), arduino);
    }
    else
    {
        QVERIFY(writeBytes(settingsPath(dir), content));
    }
    FakeHost opened; // fresh: C
    opened.path = dir.path();
    QVERIFY(ProjectSettings::load(opened));
    QCOMPARE(opened.cpp, flavour != QLatin1String("C"));
    QCOMPARE(opened.arduino, arduino);
    QCOMPARE(Generator::flavourOf(opened) == Generator::Flavour::Arduino, arduino);
}

void TestProjectSettings::malformedFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("Language = C\n");
    QTest::newRow("truncated JSON") << QByteArray("{\n    \"Language\": \"C\",\n    \"CheckedMod");
    QTest::newRow("array root") << QByteArray("[\"C\"]\n");
}

void TestProjectSettings::malformedFilesChangeNothing()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(writeBytes(settingsPath(dir), content));
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(QStringLiteral("Arduino"));
    host.tick({&host.modules.pin, &host.modules.ussd});
    host.modules.prompt.promptBufferSize = 77;
    QVERIFY(!ProjectSettings::load(host));
    QVERIFY(host.cpp && host.arduino);
    QCOMPARE(host.checked.size(), 2);
    QCOMPARE(host.modules.prompt.promptBufferSize, 77.0);
    QCOMPARE(host.applyCount, 0);
}

void TestProjectSettings::partialFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("cpp");
    QTest::addColumn<QStringList>("ticked");

    QTest::newRow("unknown id, number and null are skipped")
        << QByteArray(R"({"Language":"C","CheckedModules":["","Nope",3,null,"Pin","USSD"]})") << true << false
        << QStringList{"Pin", "USSD"};
    QTest::newRow("no CheckedModules unticks everything")
        << QByteArray(R"({"Language":"C++"})") << true << true << QStringList();
    QTest::newRow("CheckedModules not an array unticks everything")
        << QByteArray(R"({"Language":"C++","CheckedModules":"Pin"})") << true << true << QStringList();
    QTest::newRow("no Language keeps the language, still loads modules")
        << QByteArray(R"({"CheckedModules":["","RSSI"]})") << false << true << QStringList{"RSSI"};
    QTest::newRow("non-string Language keeps the language")
        << QByteArray(R"({"Language":1,"CheckedModules":["","RSSI"]})") << false << true << QStringList{"RSSI"};
    QTest::newRow("lower-case c means C++")
        << QByteArray(R"({"Language":"c","CheckedModules":[""]})") << true << true << QStringList();
    QTest::newRow("ids are case-sensitive")
        << QByteArray(R"({"Language":"C","CheckedModules":["pin","PIN","Power"]})") << true << false
        << QStringList{"Power"};
}

void TestProjectSettings::partialFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, result);
    QFETCH(bool, cpp);
    QFETCH(QStringList, ticked);
    QTemporaryDir dir;
    QVERIFY(writeBytes(settingsPath(dir), content));
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(QStringLiteral("C++")); // what stays when the file names no language
    host.tick({&host.modules.power, &host.modules.mqttClientSimcom});
    host.modules.power.useResetPin = true;
    QCOMPARE(ProjectSettings::load(host), result);
    QCOMPARE(host.cpp, cpp);
    QCOMPARE(host.c, !cpp);
    QStringList ids;
    for (VelkorMdl* module : host.checkedModules().mid(1))
        ids << module->id();
    QCOMPARE(ids, ticked);
    QCOMPARE(host.modules.power.useResetPin, false); // no "Power" object: the default, not the last project's
    QCOMPARE(host.applyCount, 1);
}

void TestProjectSettings::unknownTopLevelMembersAreDroppedOnSave()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(settingsPath(dir), R"({"Language":"C","CheckedModules":[""],"Extra":{"a":1},
                                               "Power":{"UseResetPin":true,"Junk":2}})"));
    FakeHost host;
    host.path = dir.path();
    QVERIFY(ProjectSettings::load(host));
    QVERIFY(host.modules.power.useResetPin);
    QVERIFY(ProjectSettings::save(host));
    const QJsonObject root = QJsonDocument::fromJson(readBytes(settingsPath(dir))).object();
    QVERIFY(!root.contains("Extra"));
    QCOMPARE(root.value("Power").toObject().keys(), QStringList{"UseResetPin"});
}

void TestProjectSettings::saveIntoMissingFolderWritesNothing()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.filePath("missing");
    QVERIFY(!ProjectSettings::save(host));
    QVERIFY(!QFile::exists(host.path));
    host.path = QStringLiteral("   ");
    ScopedDialogs scoped;
    ProjectSettings::commandSave(host);
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Project Path Error")});
    QCOMPARE(scoped.dialogs.shown.first().text,
             QStringLiteral("The project path specified does not exist - please correct this and then try again."));
}

// A settings file that cannot be written (a folder in its place, unwritable even for root): Save
// says so instead of confirming. (That a failed write keeps the old file whole is tested in
// tst_util::failedWriteKeepsOldFile.)
void TestProjectSettings::failedSaveIsReported()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(settingsPath(dir)));
    FakeHost host;
    host.path = dir.path();
    ScopedDialogs scoped;
    ProjectSettings::commandSave(host);
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Write Error")});
    QVERIFY(scoped.dialogs.shown.first().text.contains(settingsPath(dir)));
}

void TestProjectSettings::newSetsDefaultsAndWritesNothing()
{
    QTemporaryDir dir;
    const QByteArray existing = R"({"Language":"C++","CheckedModules":["","Pin"]})";
    QVERIFY(writeBytes(settingsPath(dir), existing));
    FakeHost host;
    setUnusualProject(host);
    ScopedDialogs scoped;
    scoped.dialogs.folderAnswers.enqueue(dir.path());
    ProjectSettings::commandNew(host);
    QCOMPARE(host.path, dir.path());
    QVERIFY(host.c && !host.cpp && !host.arduino && !host.arduinoVisible);
    QVERIFY(host.checked.isEmpty());
    FakeHost fresh;
    QCOMPARE(ProjectSettings::toText(ProjectSettings::build(host)),
             ProjectSettings::toText(ProjectSettings::build(fresh)));
    QCOMPARE(host.applyCount, 1);
    QCOMPARE(readBytes(settingsPath(dir)), existing);
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Select Folder")});
}

void TestProjectSettings::newCancelledChangesNothing()
{
    FakeHost host;
    host.path = QStringLiteral("/somewhere");
    setUnusualProject(host);
    const QByteArray before = ProjectSettings::toText(ProjectSettings::build(host));
    ScopedDialogs scoped;
    ProjectSettings::commandNew(host);
    ProjectSettings::commandOpen(host);
    ProjectSettings::commandSaveAs(host);
    QCOMPARE(host.path, QStringLiteral("/somewhere"));
    QCOMPARE(ProjectSettings::toText(ProjectSettings::build(host)), before);
    QCOMPARE(scoped.dialogs.titles(), (QStringList{"Select Folder", "Select Folder", "Select Folder"}));
}

// Open on a folder without settings file: an error, and the project stays where it was. With a
// settings file that does not parse: the path is taken, nothing else changes, and the user is told
// that the window's choices will replace the file.
void TestProjectSettings::openWithoutUsableSettings()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = QStringLiteral("/old");
    host.tick({&host.modules.pin});
    ScopedDialogs scoped;
    scoped.dialogs.folderAnswers.enqueue(dir.path());
    ProjectSettings::commandOpen(host);
    QCOMPARE(scoped.dialogs.titles(), (QStringList{"Select Folder", "Error Opening Project"}));
    QCOMPARE(scoped.dialogs.shown.last().text, QStringLiteral("Velkor project settings not found at the specified path."));
    QCOMPARE(scoped.dialogs.shown.last().icon, Dialogs::Icon::Critical);
    QCOMPARE(host.path, QStringLiteral("/old"));

    QVERIFY(writeBytes(settingsPath(dir), "garbage"));
    scoped.dialogs.clear();
    scoped.dialogs.folderAnswers.enqueue(dir.path());
    ProjectSettings::commandOpen(host);
    QCOMPARE(host.path, dir.path());
    QCOMPARE(host.checked.size(), 1);
    QCOMPARE(scoped.dialogs.titles(), (QStringList{"Select Folder", "Error Opening Project"}));
    QCOMPARE(scoped.dialogs.shown.last().icon, Dialogs::Icon::Critical);
    QVERIFY(scoped.dialogs.shown.last().text.contains(QStringLiteral("could not be read")));
}

void TestProjectSettings::saveCommands_data()
{
    QTest::addColumn<bool>("saveAs");
    QTest::addColumn<bool>("emptyPath");
    QTest::newRow("Save As") << true << false;
    QTest::newRow("Save with empty path falls through to Save As") << false << true;
}

void TestProjectSettings::saveCommands()
{
    QFETCH(bool, saveAs);
    QFETCH(bool, emptyPath);
    QTemporaryDir dir;
    FakeHost host;
    host.path = emptyPath ? QString() : QStringLiteral("/elsewhere");
    host.tick({&host.modules.ussd});
    ScopedDialogs scoped;
    scoped.dialogs.folderAnswers.enqueue(dir.path());
    if (saveAs)
        ProjectSettings::commandSaveAs(host);
    else
        ProjectSettings::commandSave(host);
    QCOMPARE(scoped.dialogs.titles(), (QStringList{"Select Folder", "Project Saved"}));
    QCOMPARE(scoped.dialogs.shown.first().owner, Dialogs::Owner::MainWindow);
    QCOMPARE(host.path, dir.path());
    const QJsonObject root = QJsonDocument::fromJson(readBytes(settingsPath(dir))).object();
    QCOMPARE(root.value("CheckedModules").toArray(), (QJsonArray{QString(), QStringLiteral("USSD")}));
}

QTEST_GUILESS_MAIN(TestProjectSettings)
#include "tst_projectsettings.moc"
