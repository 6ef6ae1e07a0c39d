// The "Generate Code" run driven headlessly through a FakeHost: layouts of the three flavours, every
// question and message of the run, user code carried across regenerations and flavour switches, and
// failures injected part-way (nothing the user wrote may be lost, and no failure ends in success).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "dependencycheck.h"
#include "fakehost.h"
#include "generator.h"
#include "scripteddialogs.h"
#include "testsupport.h"
#include "util.h"
#include "velkorconstants.h"

using namespace TestSupport;

namespace
{
QStringList sortedUnique(QStringList list)
{
    list.removeDuplicates();
    list.sort();
    return list;
}

// Marks a file or folder immutable (so that not even root can change it) for its lifetime.
class Immutable
{
public:
    explicit Immutable(const QString& path) : mPath(path)
    {
        mOk = !mPath.isEmpty() && QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), mPath}) == 0;
    }
    ~Immutable() { release(); }
    void release()
    {
        if (mOk)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), mPath});
        mOk = false;
    }
    bool ok() const { return mOk; }

private:
    QString mPath;
    bool mOk = false;
};

// Answers like ScriptedDialogs, and removes the project folder when the first question is asked.
class RemovingDialogs final : public Dialogs
{
public:
    explicit RemovingDialogs(QString folder) : mFolder(std::move(folder)) {}
    ScriptedDialogs inner;
    void message(Icon icon, const QString& title, const QString& text) override { inner.message(icon, title, text); }
    bool askYesNo(Icon icon, const QString& title, const QString& text) override
    {
        QDir(mFolder).removeRecursively();
        return inner.askYesNo(icon, title, text);
    }
    QString choose(const QString& t, const QString& x, const QStringList& b, Icon i) override
    {
        return inner.choose(t, x, b, i);
    }
    QString chooseFolder(Owner owner) override { return inner.chooseFolder(owner); }

private:
    QString mFolder;
};

// A module whose fragments say which slot they fill and carry placeholder-like text.
class FragmentModule final : public VelkorMdl
{
public:
    explicit FragmentModule(QString tag) : VelkorMdl(nullptr), mTag(std::move(tag)) {}
    QString headerIncludes() override { return QStringLiteral("/") + mTag + QStringLiteral("%2.h\"\n"); }
    QString headerFunctionPrototypes() override { return mTag + QStringLiteral("_proto %1 %2\n"); }
    QString includes() override { return mTag + QStringLiteral("_inc %2\n"); }
    QString generalVariables() override { return mTag + QStringLiteral("_var $1 \\1\n"); }
    QString instanceVariables() override { return mTag + QStringLiteral("_inst %8\n"); }
    QString generalCallbackFunctions() override { return mTag + QStringLiteral("_cb %u %%1\n"); }
    QString eventCallbackFunctions() override { return mTag + QStringLiteral("_ev\n"); }
    QString initCode() override { return mTag + QStringLiteral("_init\n"); }
    QString pollCode() override { return mTag + QStringLiteral("_poll\n"); }
    QString convenienceFunctions() override { return mTag + QStringLiteral("_conv %3\n"); }

private:
    QString mTag;
};
} // namespace

class TestGeneration : public QObject
{
    Q_OBJECT

private:
    // A project folder with `host` pointing at it, C output and the given ticks.
    static bool run(FakeHost& host, ScriptedDialogs& dialogs, bool expectSuccess = true)
    {
        dialogs.shown.clear();
        const bool ok = Generator(host).run();
        const bool success = !dialogs.shown.isEmpty() && dialogs.shown.last().title == QLatin1String("Code Generated");
        if (ok != success || ok != expectSuccess)
            qWarning("run() gave %d after the boxes %s; last text: %s", ok, qPrintable(dialogs.titles().join('|')),
                     dialogs.shown.isEmpty() ? "" : qPrintable(dialogs.shown.last().text));
        return ok == expectSuccess && ok == success;
    }
    static QStringList expectedLibraryFiles(const QList<VelkorMdl*>& modules)
    {
        QStringList files{"GSM_Globals.h", "GSM_Required_Externals.h", "GSM_Util.h", "GSM_Util.c"};
        for (VelkorMdl* m : modules)
            files += m->libFilenames();
        return sortedUnique(files);
    }

private slots:
    void templatesAreFilledInOnePass();
    void cLinkageRemoval();
    void flavourLayout_data();
    void flavourLayout();
    void neitherLanguageSelectedGivesCWithoutQuestions();
    void runStopsWithOneBox_data();
    void runStopsWithOneBox();
    void httpAloneStopsThenSecondPressGenerates();
    void bothManagerSourcesAskWhichToUse_data();
    void bothManagerSourcesAskWhichToUse();
    void staleManagerFileQuestions_data();
    void staleManagerFileQuestions();
    void staleFolderQuestions_data();
    void staleFolderQuestions();
    void staleFolderThatCannotBeDeletedIsReported();
    void ownSourceFolderIsNeverOffered();
    void projectLicenseIsKept();
    void removedModuleWithUntouchedHandlerIsNoLoss();
    void uncheckedModuleFilesLeaveLibraryFolder();
    void previewReportsDroppedRegionsWithoutWriting();

    void immutableTargetIsReported_data();
    void immutableTargetIsReported();
    void fullDiskDuringManagerWriteKeepsUserCode();
    void projectFolderRemovedMidRunIsNotRecreated();
};

void TestGeneration::templatesAreFilledInOnePass()
{
    VelkorModules record;
    FragmentModule a(QStringLiteral("A"));
    FragmentModule b(QStringLiteral("B"));
    const QString headerTemplate = QStringLiteral("H[%1]P[%2]\n");
    const QString sourceTemplate = QStringLiteral("extern \"C\" {\n%1} // extern \"C\"\n2[%2]3[%3]4[%4]5[%5]6[%6]7[%7]8[%8]\n");
    const QList<VelkorMdl*> modules{&record.gettingStarted, &a, &b};
    record.gettingStarted.isDebugOutputSetupSelected = false;

    const Generator::ManagerTexts texts = Generator::buildManagerTexts(modules, Generator::Flavour::Arduino,
                                                                       QStringLiteral("/*\n* n\n*/\n\n"),
                                                                       headerTemplate, sourceTemplate);
    // The Start module adds no include line; fragments' "%1", "%2", "$1", "\1", "%u" stay literal.
    const QString expectedHeader =
        QStringLiteral("/*\n* n\n*/\n\n\nH[#include \"src/Velkor/A%2.h\"\n#include \"src/Velkor/B%2.h\"\n]P[") +
        record.gettingStarted.headerFunctionPrototypes() + QStringLiteral("A_proto %1 %2\nB_proto %1 %2\n]\n");
    QCOMPARE(texts.header, expectedHeader);
    QVERIFY(texts.source.startsWith(QStringLiteral("/*\n* n\n*/\n\n\nextern \"C\" {\n") +
                                    record.gettingStarted.includes() + QStringLiteral("A_inc %2\nB_inc %2\n} // extern \"C\"\n")));
    QVERIFY(texts.source.contains(QStringLiteral("A_var $1 \\1\nB_var $1 \\1\n]")));
    QVERIFY(texts.source.contains(QStringLiteral("A_inst %8\nB_inst %8\n]")));
    QVERIFY(texts.source.contains(QStringLiteral("A_cb %u %%1\nB_cb %u %%1\n]")));
    QVERIFY(texts.source.contains(QStringLiteral("6[") + record.gettingStarted.initCode() + QStringLiteral("A_init\nB_init\n]")));
    QVERIFY(texts.source.endsWith(QStringLiteral("8[") + record.gettingStarted.convenienceFunctions() +
                                  QStringLiteral("A_conv %3\nB_conv %3\n]\n")));

    // C output: the same with the linkage lines gone and the include folder "Velkor".
    const Generator::ManagerTexts c = Generator::buildManagerTexts(modules, Generator::Flavour::C, QString(),
                                                                   headerTemplate, sourceTemplate);
    QVERIFY(c.header.contains(QStringLiteral("#include \"Velkor/A%2.h\"\n")));
    QVERIFY(!c.source.contains(QStringLiteral("extern \"C\"")));
}

void TestGeneration::cLinkageRemoval()
{
    Generator::ManagerTexts texts{
        QStringLiteral("#include <x>\nextern \"C\" {\n  \n#include \"a\"\n\n} // extern \"C\"\n// after\n"),
        QStringLiteral("a\nextern \"C\" {\r\n\tuint32_t f() {}\n} // extern \"C\"\n\nnext\nextern \"C\" {\n} // extern \"C\"\nend\n")};
    Generator::removeCLinkage(texts);
    QCOMPARE(texts.header, QStringLiteral("#include <x>\n#include \"a\"\n// after\n"));
    QCOMPARE(texts.source, QStringLiteral("a\nuint32_t f() {}\n\nnext\nend\n"));
}

void TestGeneration::flavourLayout_data()
{
    QTest::addColumn<QString>("flavour");
    QTest::addColumn<QString>("libraryFolder");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("otherSource");
    QTest::addColumn<bool>("linkage");
    QTest::addColumn<bool>("ticked"); // everything but the 2G connection, or nothing
    QTest::newRow("C") << "C" << "Velkor" << "gsm_manager.c" << "gsm_manager.cpp" << false << true;
    QTest::newRow("C++") << "C++" << "Velkor" << "gsm_manager.cpp" << "gsm_manager.c" << true << true;
    QTest::newRow("Arduino") << "Arduino" << "src/Velkor" << "gsm_manager.cpp" << "gsm_manager.c" << true << true;
    QTest::newRow("C++, nothing ticked") << "C++" << "Velkor" << "gsm_manager.cpp" << "gsm_manager.c" << true << false;
}

void TestGeneration::flavourLayout()
{
    QFETCH(QString, flavour);
    QFETCH(QString, libraryFolder);
    QFETCH(QString, source);
    QFETCH(QString, otherSource);
    QFETCH(bool, linkage);
    QFETCH(bool, ticked);

    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(flavour);
    // Not the 2G connection: two connections would stop the run with a message.
    for (VelkorMdl* m : host.allModules())
        host.setModuleChecked(m, ticked && m != &host.modules.internetConnectionSimcom2G);
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Code Generated")});
    QCOMPARE(scoped.dialogs.shown.first().text, QStringLiteral("Code generated successfully."));
    QCOMPARE(scoped.dialogs.shown.first().icon, Dialogs::Icon::Information);

    const QDir project(dir.path());
    QVERIFY(project.exists(QStringLiteral("gsm_manager.h")));
    QVERIFY(project.exists(source));
    QVERIFY(!project.exists(otherSource));
    QCOMPARE(readText(project.filePath("LICENSE.txt")), Util::resourceText(":/license/resources/license/LICENSE.txt"));
    QVERIFY(!readText(project.filePath("LICENSE.txt")).isEmpty());
    QVERIFY(project.exists(Velkor::settingsFileName()));
    QVERIFY(project.exists(QStringLiteral("circbuff.c")) && project.exists(QStringLiteral("circbuff.h")));
    QCOMPARE(QDir(project.filePath(libraryFolder)).entryList(QDir::Files, QDir::Name),
             expectedLibraryFiles(host.checkedModules()));
    QCOMPARE(project.exists(QStringLiteral("src")), flavour == QLatin1String("Arduino"));
    QStringList written{QStringLiteral("circbuff.c")};
    for (const QString& name : QDir(project.filePath(libraryFolder)).entryList(QDir::Files))
        written << libraryFolder + QLatin1Char('/') + name;
    for (const QString& name : written)
    {
        const QString text = readText(project.filePath(name));
        QVERIFY2(text.startsWith(QStringLiteral("\n") + Velkor::generatedFileNotice()), qPrintable(name));
    }
    QCOMPARE(readText(project.filePath("circbuff.h")),
             QStringLiteral("\n") + Velkor::generatedFileNotice() + Util::resourceText(":/code/resources/code/circbuff.h"));

    const QString header = readText(project.filePath("gsm_manager.h"));
    const QString sourceText = readText(project.filePath(source));
    QVERIFY(header.startsWith(Velkor::generatedFileNotice() + QStringLiteral("\n#ifndef INC_GSM_MANAGER_H_")));
    QVERIFY(sourceText.startsWith(Velkor::generatedFileNotice() + QLatin1Char('\n')));
    QCOMPARE(header.contains(QStringLiteral("extern \"C\" {")), linkage);
    QCOMPARE(header.contains(QStringLiteral("} // extern \"C\"")), linkage);
    QCOMPARE(sourceText.contains(QStringLiteral("extern \"C\" {")), linkage);
    QCOMPARE(sourceText.contains(QStringLiteral("} // extern \"C\"")), linkage);

    // One include line per ticked module (the Start module excepted), with the library folder.
    const QList<VelkorMdl*> modules = host.checkedModules();
    QString includes;
    for (VelkorMdl* m : modules.mid(1))
    {
        const QString line = QStringLiteral("#include \"") + libraryFolder + m->headerIncludes();
        QVERIFY2(header.contains(line), qPrintable(line));
        includes += m->includes();
    }
    const QRegularExpression includeLine(QStringLiteral("^#include \"([^\"]*)\"$"), QRegularExpression::MultilineOption);
    int count = 0;
    for (auto it = includeLine.globalMatch(header); it.hasNext(); ++count)
        QVERIFY(it.next().captured(1).startsWith(libraryFolder + QLatin1Char('/')));
    QCOMPARE(count, modules.size() - 1);
    if (!linkage)
        QVERIFY(sourceText.contains(QStringLiteral("#include \"gsm_manager.h\"\n") + includes.trimmed()));
    // The fragments of every module made it into the source.
    for (VelkorMdl* m : modules)
        QVERIFY2(sourceText.contains(m->eventCallbackFunctions()), qPrintable(m->id()));
}

void TestGeneration::neitherLanguageSelectedGivesCWithoutQuestions()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.c = false;
    host.cpp = false;
    host.arduino = true; // unticked by the run: there is no Arduino layout without C++
    QVERIFY(writeText(dir.filePath("gsm_manager.cpp"), "// USER CODE BEGIN Init\n    go();\n// USER CODE END Init\n"));
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(scoped.dialogs.titles(), QStringList{"Code Generated"});
    QVERIFY(!host.arduino);
    const QString source = readText(dir.filePath("gsm_manager.c"));
    QVERIFY(source.contains("    go();") && !source.contains("extern \"C\""));
    QVERIFY(QFile::exists(dir.filePath("gsm_manager.cpp")));
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_Util.c")));
}

void TestGeneration::runStopsWithOneBox_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("written"); // what the project folder holds afterwards
    QTest::newRow("empty path") << "empty" << "Project Path Error"
                                << "Please specify a path for the project ('Save As') and then try again." << QStringList();
    QTest::newRow("missing folder") << "missing" << "Project Path Error"
                                    << "The project path specified does not exist - please correct this and then try again."
                                    << QStringList();
    // A folder in the way of LICENSE.txt, unwritable even for root: the settings are saved, no code.
    QTest::newRow("licence cannot be written")
        << "licence" << "Licensing Error" << "Unable to download LICENSE agreement. Please review folder write permissions."
        << QStringList{Velkor::settingsFileName(), "LICENSE.txt/"};
}

void TestGeneration::runStopsWithOneBox()
{
    QFETCH(QString, setup);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, written);
    QTemporaryDir dir;
    FakeHost host;
    host.path = setup == "empty" ? QString() : setup == "missing" ? dir.filePath("missing") : dir.path();
    if (setup == "licence")
        QVERIFY(QDir(dir.path()).mkdir("LICENSE.txt"));
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs, false));
    QCOMPARE(scoped.dialogs.titles(), QStringList{title});
    QCOMPARE(scoped.dialogs.shown.first().icon, Dialogs::Icon::Critical);
    QCOMPARE(scoped.dialogs.shown.first().text, text);
    written.sort();
    QCOMPARE(snapshot(dir.path()).keys(), written);
}

void TestGeneration::httpAloneStopsThenSecondPressGenerates()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.tick({&host.modules.httpClientSimcom});
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs, false));
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Module Dependencies")});
    QCOMPARE(scoped.dialogs.shown.first().text, DependencyCheck::messageNoInternetConnection());
    // Only the settings file is written, and it holds the selection from before the check.
    QCOMPARE(snapshot(dir.path()).keys(), QStringList{Velkor::settingsFileName()});
    QVERIFY(readText(dir.filePath(Velkor::settingsFileName())).contains(
        QStringLiteral("\"CheckedModules\": [\n        \"\",\n        \"HTTP_Client_SIMCom\"\n    ]")));
    QVERIFY(host.isModuleChecked(&host.modules.internetConnectionSimcom));
    QVERIFY(host.isModuleChecked(&host.modules.power));

    QVERIFY(run(host, scoped.dialogs));
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_HttpClient_Simcom.c")));
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_InternetConnection_Simcom.c")));
}

void TestGeneration::bothManagerSourcesAskWhichToUse_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("gsm_manager.c") << "gsm_manager.c";
    QTest::newRow("gsm_manager.cpp") << "gsm_manager.cpp";
    QTest::newRow("Cancel") << "Cancel";
}

void TestGeneration::bothManagerSourcesAskWhichToUse()
{
    QFETCH(QString, answer);
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(QStringLiteral("C++"));
    const QString fresh = Generator::buildManagerTexts(host.checkedModules(), Generator::Flavour::Cpp,
                                                       Velkor::generatedFileNotice()).source;
    QVERIFY(writeText(dir.filePath("gsm_manager.c"), withUserCode(fresh, "Init", "    from_c();\n")));
    QVERIFY(writeText(dir.filePath("gsm_manager.cpp"), withUserCode(fresh, "Init", "    from_cpp();\n")));
    ScopedDialogs scoped;
    scoped.dialogs.choiceAnswers.enqueue(answer);
    const bool cancelled = answer == QLatin1String("Cancel");
    QVERIFY(run(host, scoped.dialogs, !cancelled));

    const ScriptedDialogs::Shown& choice = scoped.dialogs.shown.first();
    QCOMPARE(choice.kind, QStringLiteral("choose"));
    QCOMPARE(choice.title, QStringLiteral("Select Input File"));
    QCOMPARE(choice.text, QStringLiteral("The specified directory includes a gsm_manager.cpp and gsm_manager.c file.\n\n"
                                         "Please choose which file to use when extracting 'USER CODE' sections."));
    QCOMPARE(choice.buttons, (QStringList{"gsm_manager.c", "gsm_manager.cpp", "Cancel"}));
    QCOMPARE(choice.icon, Dialogs::Icon::Information);
    QVERIFY(QFile::exists(dir.filePath("gsm_manager.h")));
    if (cancelled)
    {
        QCOMPARE(scoped.dialogs.titles(), (QStringList{"Select Input File", "Write Error"}));
        QCOMPARE(scoped.dialogs.shown.last().text,
                 QStringLiteral("No gsm_manager file has been chosen. A new gsm_manager file will not be output with the "
                                "current project settings.\n\nPlease delete the gsm_manager file you do not need, or "
                                "select the correct file to be used when generating the code again."));
        QVERIFY(!QFile::exists(dir.filePath("Velkor")));
        QVERIFY(readText(dir.filePath("gsm_manager.cpp")).contains("from_cpp();"));
        return;
    }
    const QString expected = answer == QLatin1String("gsm_manager.c") ? "from_c();" : "from_cpp();";
    QVERIFY(readText(dir.filePath("gsm_manager.cpp")).contains(expected));
    QCOMPARE(scoped.dialogs.titles(), (QStringList{"Select Input File", "Remove File?", "Code Generated"}));
    QVERIFY(QFile::exists(dir.filePath("gsm_manager.c"))); // the question was answered No
}

void TestGeneration::staleManagerFileQuestions_data()
{
    QTest::addColumn<QString>("flavour");
    QTest::addColumn<QString>("stale");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    const QString toCpp = "The current settings will generate a 'C++' project. However, a 'gsm_manager.c' file was found "
                          "in the project path.\n\nWould you like to delete 'gsm_manager.c'?";
    const QString toC = "The current settings will generate a 'C' project. However, a 'gsm_manager.cpp' file was found "
                        "in the project path.\n\nWould you like to delete 'gsm_manager.cpp'?";
    QTest::newRow("C to C++, Yes") << "C++" << "gsm_manager.c" << true << toCpp;
    QTest::newRow("C to C++, No") << "C++" << "gsm_manager.c" << false << toCpp;
    QTest::newRow("C to Arduino, Yes") << "Arduino" << "gsm_manager.c" << true << toCpp;
    QTest::newRow("C++ to C, Yes") << "C" << "gsm_manager.cpp" << true << toC;
    QTest::newRow("C++ to C, No") << "C" << "gsm_manager.cpp" << false << toC;
}

void TestGeneration::staleManagerFileQuestions()
{
    QFETCH(QString, flavour);
    QFETCH(QString, stale);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(flavour == QLatin1String("C") ? QStringLiteral("C++") : QStringLiteral("C"));
    host.tick({&host.modules.pin});
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    const QString old = withUserCode(readText(dir.filePath(stale)), "gsmPinEventHandler", "        pin_user();\n");
    QVERIFY(!old.isEmpty());
    QVERIFY(writeText(dir.filePath(stale), old));

    host.setFlavour(flavour);
    scoped.dialogs.yesNoAnswers.enqueue(yes);
    scoped.dialogs.yesNoAnswers.enqueue(false); // a stale-folder question, for Arduino
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(scoped.dialogs.shown.first().title, QStringLiteral("Remove File?"));
    QCOMPARE(scoped.dialogs.shown.first().text, question);
    QCOMPARE(scoped.dialogs.shown.first().icon, Dialogs::Icon::Question);
    const QString fresh = stale == QLatin1String("gsm_manager.c") ? "gsm_manager.cpp" : "gsm_manager.c";
    QVERIFY(readText(dir.filePath(fresh)).contains("pin_user();"));
    QCOMPARE(QFile::exists(dir.filePath(stale)), !yes);
}

void TestGeneration::staleFolderQuestions_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Arduino to C++, Yes") << "Arduino" << "C++" << "src" << true;
    QTest::newRow("Arduino to C++, No") << "Arduino" << "C++" << "src" << false;
    QTest::newRow("Arduino to C, Yes") << "Arduino" << "C" << "src" << true;
    QTest::newRow("C++ to Arduino, Yes") << "C++" << "Arduino" << "Velkor" << true;
    QTest::newRow("C++ to Arduino, No") << "C++" << "Arduino" << "Velkor" << false;
}

void TestGeneration::staleFolderQuestions()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, folder);
    QFETCH(bool, yes);
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(from);
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    QVERIFY(QFileInfo(dir.filePath(folder)).isDir());

    host.setFlavour(to);
    if (to == QLatin1String("C"))
        scoped.dialogs.yesNoAnswers.enqueue(false); // keep gsm_manager.cpp
    scoped.dialogs.yesNoAnswers.enqueue(yes);
    QVERIFY(run(host, scoped.dialogs));
    QVERIFY2(scoped.dialogs.shown.size() >= 2, qPrintable(scoped.dialogs.titles().join(", ")));
    const ScriptedDialogs::Shown& box = scoped.dialogs.shown.at(scoped.dialogs.shown.size() - 2);
    QCOMPARE(box.title, QStringLiteral("Remove File?"));
    if (folder == QLatin1String("src"))
        QCOMPARE(box.text, QStringLiteral("The current settings will generate the 'Velkor' folder in the top-level project "
                                          "directory. However, a 'src' folder was found in the project path, which may no "
                                          "longer be required.\n\nWould you like to delete the 'src' folder?"));
    else
        QCOMPARE(box.text, QStringLiteral("The current settings will generate an Arduino compatible directory (src/Velkor). "
                                          "However, a 'Velkor' folder was found in the project path.\n\nWould you like to "
                                          "delete the 'Velkor' folder?\n\nNote: You can uncheck the 'Arduino Project' option "
                                          "to generate the 'Velkor' folder in the top-level project directory"));
    // Arduino needs "src": deleting a stale top-level "Velkor" never touches it, and vice versa.
    QCOMPARE(QFileInfo(dir.filePath(folder)).isDir(), !yes);
    QVERIFY(QFile::exists(dir.filePath(Generator::libraryFolder(Generator::flavourOf(host)) + "/GSM_Util.c")));
    // Only one folder question per run.
    int folderQuestions = 0;
    for (const ScriptedDialogs::Shown& s : scoped.dialogs.shown)
        folderQuestions += s.text.contains(QStringLiteral("folder was found")) ? 1 : 0;
    QCOMPARE(folderQuestions, 1);
}

void TestGeneration::staleFolderThatCannotBeDeletedIsReported()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(QStringLiteral("C++"));
    QVERIFY(QDir(dir.path()).mkpath("src/Velkor"));
    QVERIFY(writeText(dir.filePath("src/Velkor/GSM_Util.c"), "int x;\n"));
    Immutable lock(dir.filePath("src/Velkor/GSM_Util.c"));
    if (!lock.ok())
        QSKIP("chattr +i is not available here");
    ScopedDialogs scoped;
    scoped.dialogs.yesNoAnswers.enqueue(true);
    QVERIFY(run(host, scoped.dialogs)); // the run goes on after the box
    QCOMPARE(scoped.dialogs.titles(), (QStringList{"Remove File?", "Error Deleting Folder", "Code Generated"}));
    QCOMPARE(scoped.dialogs.shown.at(1).text, QStringLiteral("Unable to delete 'src' folder."));
    QCOMPARE(scoped.dialogs.shown.at(1).icon, Dialogs::Icon::Critical);
}

// A "src" folder of the user's own (PlatformIO, CMake) is none of the generator's business: only the
// library an earlier Arduino run left in it is offered for deletion, and the user's files stay.
void TestGeneration::ownSourceFolderIsNeverOffered()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(QStringLiteral("C++"));
    QVERIFY(QDir(dir.path()).mkpath("src"));
    QVERIFY(writeText(dir.filePath("src/main.cpp"), "int main() { return 0; }\n"));
    ScopedDialogs scoped;
    scoped.dialogs.yesNoAnswers.enqueue(true); // would delete it, were it asked
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(scoped.dialogs.titles(), QStringList{"Code Generated"});
    QVERIFY(QFile::exists(dir.filePath("src/main.cpp")));

    // The library of an Arduino run next to the user's files: Yes removes the library only.
    host.setFlavour(QStringLiteral("Arduino"));
    QVERIFY(run(host, scoped.dialogs));
    QVERIFY(QFile::exists(dir.filePath("src/Velkor/GSM_Util.c")));
    host.setFlavour(QStringLiteral("C++"));
    scoped.dialogs.yesNoAnswers.clear();
    scoped.dialogs.yesNoAnswers.enqueue(true);
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(scoped.dialogs.titles().mid(scoped.dialogs.titles().size() - 2),
             (QStringList{"Remove File?", "Code Generated"}));
    QVERIFY(!QFileInfo::exists(dir.filePath("src/Velkor")));
    QVERIFY(QFile::exists(dir.filePath("src/main.cpp")));
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_Util.c")));
}

// The project's own LICENSE.txt is not replaced by the library's licence, which goes beside it; an
// earlier copy of the library's licence is simply replaced.
void TestGeneration::projectLicenseIsKept()
{
    const QString library = Util::resourceText(":/license/resources/license/LICENSE.txt");
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    const QString own = QStringLiteral("Proprietary. Copyright ACME Firmware GmbH.\n");
    QVERIFY(writeText(dir.filePath("LICENSE.txt"), own));
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(readText(dir.filePath("LICENSE.txt")), own);
    QCOMPARE(readText(dir.filePath("Velkor_LICENSE.txt")), library);

    QTemporaryDir second;
    host.path = second.path();
    QString older = library;
    older.replace(QStringLiteral("2026"), QStringLiteral("2025"));
    QVERIFY(older != library && writeText(second.filePath("LICENSE.txt"), older));
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(readText(second.filePath("LICENSE.txt")), library);
    QVERIFY(!QFile::exists(second.filePath("Velkor_LICENSE.txt")));
}

void TestGeneration::uncheckedModuleFilesLeaveLibraryFolder()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(QStringLiteral("C++"));
    host.tick({&host.modules.ussd});
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_USSD.h")));
    QVERIFY(writeText(dir.filePath("Velkor/notes.txt"), "mine"));
    QVERIFY(QDir(dir.filePath("Velkor")).mkdir("sub"));
    QVERIFY(writeText(dir.filePath("Velkor/sub/keep.c"), "mine"));
    host.setModuleChecked(&host.modules.ussd, false);
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(QDir(dir.filePath("Velkor")).entryList(QDir::Files, QDir::Name), expectedLibraryFiles(host.checkedModules()));
    QVERIFY(QFile::exists(dir.filePath("Velkor/sub/keep.c")));
}

void TestGeneration::previewReportsDroppedRegionsWithoutWriting()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.tick({&host.modules.pin, &host.modules.ussd});
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    QString source = readText(dir.filePath("gsm_manager.c"));
    source = withUserCode(source, "gsmPinEventHandler", "        pin_ready();\n");
    source = withUserCode(source, "gsmUssdEventHandler", "        ussd_reply();\n");
    QVERIFY(writeText(dir.filePath("gsm_manager.c"), source));
    const Tree before = snapshot(dir.path());

    host.setModuleChecked(&host.modules.ussd, false);
    host.setFlavour(QStringLiteral("C++"));
    const Generator::ManagerTexts texts = Generator::buildManagerTexts(
        host.checkedModules(), Generator::flavourOf(host), Velkor::generatedFileNotice());
    const Generator::FilePreview preview = Generator::previewFile(
        dir.filePath("gsm_manager.c"), texts.source, dir.filePath("gsm_manager.cpp"), true);
    QCOMPARE(preview.readPath, dir.filePath("gsm_manager.c"));
    QCOMPARE(preview.outputPath, dir.filePath("gsm_manager.cpp"));
    QCOMPARE(preview.droppedRegions, QStringList{"gsmUssdEventHandler"});
    QVERIFY(preview.text.contains("pin_ready();") && !preview.text.contains("ussd_reply();"));
    QVERIFY(!preview.readFailed);
    const Generator::FilePreview fresh =
        Generator::previewFile(QString(), texts.header, dir.filePath("new.h"), true);
    QCOMPARE(fresh.text, texts.header);
    QCOMPARE(fresh.outputPath, dir.filePath("new.h"));
    QCOMPARE(snapshot(dir.path()), before);
    QCOMPARE(scoped.dialogs.titles(), QStringList{"Code Generated"});
}

// Removing a module whose event handler still holds the generator's own example text loses nothing:
// no warning, no backup offer (in the command line: no refusal). A handler with code of the user's
// is still reported, in the window and in the preview alike.
void TestGeneration::removedModuleWithUntouchedHandlerIsNoLoss()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.tick({&host.modules.pin, &host.modules.ussd, &host.modules.rssi});
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    const QString sourcePath = dir.filePath("gsm_manager.c");
    QVERIFY(writeText(sourcePath, withUserCode(readText(sourcePath), "gsmPinEventHandler", "        pin_ready();\n")));
    QString crlf = readText(sourcePath);
    crlf.replace("\n", "\r\n"); // line ends of another system do not make the example text the user's
    QVERIFY(writeText(sourcePath, crlf));

    host.setModuleChecked(&host.modules.ussd, false);
    const Generator::ManagerTexts texts =
        Generator::buildManagerTexts(host.checkedModules(), Generator::flavourOf(host), Velkor::generatedFileNotice());
    const Generator::ManagerTexts pristine = Generator::pristineTexts(host, Generator::flavourOf(host));
    QCOMPARE(Generator::previewFile(sourcePath, texts.source, sourcePath, false, pristine.source).droppedRegions,
             QStringList());
    scoped.dialogs.clear();
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(scoped.dialogs.titles(), QStringList{"Code Generated"});
    QVERIFY(readText(sourcePath).contains("pin_ready();"));

    host.setModuleChecked(&host.modules.pin, false);
    host.setModuleChecked(&host.modules.rssi, false);
    const Generator::ManagerTexts fewer =
        Generator::buildManagerTexts(host.checkedModules(), Generator::flavourOf(host), Velkor::generatedFileNotice());
    QCOMPARE(Generator::previewFile(sourcePath, fewer.source, sourcePath, false, pristine.source).droppedRegions,
             QStringList{"gsmPinEventHandler"});
    scoped.dialogs.clear();
    scoped.dialogs.yesNoAnswers.enqueue(false); // no backup
    QVERIFY(run(host, scoped.dialogs));
    QCOMPARE(scoped.dialogs.titles(), (QStringList{"Warning", "Code Generated"}));
}

void TestGeneration::immutableTargetIsReported_data()
{
    QTest::addColumn<QString>("locked");  // what cannot be written in the second run
    QTest::addColumn<QString>("file");    // the manager file that holds the user's code
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("message"); // %1: the project folder
    QTest::addColumn<bool>("readOnly");   // locked by its permissions (else immutable even for root)
    QTest::newRow("manager source") << "gsm_manager.c" << "gsm_manager.c" << "gsmPinEventHandler"
                                    << "Unable to open file '%1/gsm_manager.c' for writing." << false;
    // A read-only file stays read-only also when root generates (a build container, say).
    QTest::newRow("read-only manager source") << "gsm_manager.c" << "gsm_manager.c" << "gsmPinEventHandler"
                                              << "Unable to open file '%1/gsm_manager.c' for writing." << true;
    QTest::newRow("read-only circular buffer source")
        << "circbuff.c" << "gsm_manager.c" << "gsmPinEventHandler"
        << "Failed to write library support files to specified directory." << true;
    QTest::newRow("library folder") << "Velkor" << "gsm_manager.h" << "Includes"
                                    << "Failed to write library support files to specified directory." << false;
    QTest::newRow("circular buffer header") << "circbuff.h" << "gsm_manager.c" << "gsmPinEventHandler"
                                            << "Failed to write library support files to specified directory." << false;
}

// A file or folder that not even root can change stops the run with its message; the user's code
// is still in its file afterwards.
void TestGeneration::immutableTargetIsReported()
{
    QFETCH(QString, locked);
    QFETCH(QString, file);
    QFETCH(QString, region);
    QFETCH(QString, message);
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.tick({&host.modules.pin});
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    const QString path = dir.filePath(file);
    const QString mine = withUserCode(readText(path), region, "        precious();\n");
    QVERIFY(writeText(path, mine));
    const QString header = readText(dir.filePath("gsm_manager.h"));
    const QString source = readText(dir.filePath("gsm_manager.c"));
    host.tick({&host.modules.rssi});
    const QString lockedPath = dir.filePath(locked);
    const QFileDevice::Permissions permissions = QFile::permissions(lockedPath);
    Immutable lock(readOnly ? QString() : lockedPath);
    if (readOnly)
        QVERIFY(QFile::setPermissions(lockedPath, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    else if (!lock.ok())
        QSKIP("chattr +i is not available here");
    QVERIFY(run(host, scoped.dialogs, false));
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Write Error")});
    QCOMPARE(scoped.dialogs.shown.first().text, message.contains("%1") ? message.arg(dir.path()) : message);
    lock.release();
    QVERIFY(!readOnly || QFile::setPermissions(lockedPath, permissions));
    QVERIFY(readText(path).contains("        precious();\n"));
    // Found before any code was written: the manager files are as they were, so the project does not
    // refer to library files that were never written.
    QCOMPARE(readText(dir.filePath("gsm_manager.h")), header);
    QCOMPARE(readText(dir.filePath("gsm_manager.c")), source);
    QVERIFY(QFile::exists(dir.filePath("Velkor/GSM_PIN.c")));
}

void TestGeneration::fullDiskDuringManagerWriteKeepsUserCode()
{
    QTemporaryDir dir;
    FakeHost host;
    host.path = dir.path();
    host.setFlavour(QStringLiteral("C++"));
    host.tick({&host.modules.pin, &host.modules.smsRead});
    ScopedDialogs scoped;
    QVERIFY(run(host, scoped.dialogs));
    const QString headerPath = dir.filePath("gsm_manager.h");
    const QString sourcePath = dir.filePath("gsm_manager.cpp");
    const QString header = withUserCode(readText(headerPath), "Miscellaneous", "#define MINE 1\n");
    const QString source = withUserCode(readText(sourcePath), "gsmSmsReadEventHandler", "        mine();\n");
    QVERIFY(writeText(headerPath, header) && writeText(sourcePath, source));
    const qint64 licenseSize = QFileInfo(dir.filePath("LICENSE.txt")).size();
    QVERIFY(licenseSize < header.size());
    {
        // The settings file and LICENSE.txt fit, the header does not.
        FileSizeLimit limit(rlim_t(licenseSize + 16));
        QVERIFY(run(host, scoped.dialogs, false));
    }
    QCOMPARE(scoped.dialogs.titles(), QStringList{QStringLiteral("Write Error")});
    QCOMPARE(scoped.dialogs.shown.first().text, QStringLiteral("Unable to open file '") + headerPath + QStringLiteral("' for writing."));
    QCOMPARE(readText(headerPath), header);
    QCOMPARE(readText(sourcePath), source);
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        QVERIFY2(!name.contains(QStringLiteral("gsm_manager.h.")), qPrintable(name)); // no temporary left over
}

void TestGeneration::projectFolderRemovedMidRunIsNotRecreated()
{
    QTemporaryDir parent;
    const QString project = parent.filePath("project");
    QVERIFY(QDir().mkpath(project));
    FakeHost host;
    host.path = project;
    host.setFlavour(QStringLiteral("C++"));
    QVERIFY(writeText(project + "/gsm_manager.c", "// USER CODE BEGIN Init\n    x();\n// USER CODE END Init\n"));
    RemovingDialogs dialogs(project); // removes the folder when "Remove File?" is asked
    Dialogs* previous = Dialogs::install(&dialogs);
    const bool ok = Generator(host).run();
    Dialogs::install(previous);
    QVERIFY(!ok);
    QCOMPARE(dialogs.inner.titles(), (QStringList{"Remove File?", "Error Creating Directory"}));
    QCOMPARE(dialogs.inner.shown.last().text, QStringLiteral("Unable to create directory Velkor under the project path."));
    QVERIFY(!QFile::exists(project));
}

QTEST_GUILESS_MAIN(TestGeneration)
#include "tst_generation.moc"
