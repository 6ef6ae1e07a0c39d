// USER CODE regions: the pure merge, the output path rule, and the whole operation on disk with its
// warning, backup and failure boxes.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "generator.h"
#include "scripteddialogs.h"
#include "testsupport.h"
#include "usercodemerge.h"
#include "velkormodules.h"

using namespace TestSupport;

namespace
{
QString region(const QString& name, const QString& body, const QString& indent = QString())
{
    return indent + QStringLiteral("// USER CODE BEGIN ") + name + QLatin1Char('\n') + body + indent +
           QStringLiteral("// USER CODE END ") + name + QLatin1Char('\n');
}

// A generated header with the Pin and USSD handlers; the "old" files put user code into them.
const QString kNewHeader = QStringLiteral("#ifndef X\n") + region(QStringLiteral("Includes"), QStringLiteral("\n")) +
                           region(QStringLiteral("Miscellaneous"), QStringLiteral("\n")) + QStringLiteral("#endif\n");
} // namespace

class TestUserCode : public QObject
{
    Q_OBJECT

private slots:
    void regionNamesAreThoseOfTheManager();
    void merge_data();
    void merge();
    void mergeCarriesEveryRegionIntoRealisticText();
    void outputPath_data();
    void outputPath();

    void droppedRegionWarnsOncePerFile_data();
    void droppedRegionWarnsOncePerFile();
    void backupYesWritesOldTextThenMergedFile();
    void failureWritesNothing_data();
    void failureWritesNothing();
    void switchingCToCppWritesCppAndKeepsC();
    void loneCarriageReturnStaysALineEnd();
    void userBytesSurviveInAnyEightBitEncoding_data();
    void userBytesSurviveInAnyEightBitEncoding();
};

// The merge carries exactly the regions a manager can have: those of every module with every
// option on, in the header and the source.
void TestUserCode::regionNamesAreThoseOfTheManager()
{
    VelkorModules m;
    m.power.useResetPin = true;
    m.internetConnectionSimcom.isApnRequired = true;
    const Generator::ManagerTexts texts = Generator::buildManagerTexts(m.all(), Generator::Flavour::C, QString());
    QStringList generated;
    const QRegularExpression begin(QStringLiteral("// USER CODE BEGIN (.+)$"), QRegularExpression::MultilineOption);
    for (auto it = begin.globalMatch(texts.header + texts.source); it.hasNext();)
        generated << it.next().captured(1);
    QStringList names = UserCodeMerge::regionNames();
    QCOMPARE(UserCodeMerge::compilePatterns().size(), names.size());
    names.sort();
    generated.removeDuplicates(); // Includes and Miscellaneous are in both files
    generated.sort();
    QCOMPARE(names, generated);
}

void TestUserCode::merge_data()
{
    QTest::addColumn<QString>("oldText");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("dropped");

    const QString newInit = QStringLiteral("void f() {\n") + region(QStringLiteral("Init"), QString(), QStringLiteral("    ")) +
                            QStringLiteral("}\n");
    const QString userInit = QStringLiteral("void f() {\n") +
                             region(QStringLiteral("Init"), QStringLiteral("    start();\n"), QStringLiteral("    ")) +
                             QStringLiteral("}\n");

    QTest::newRow("no markers in old text") << QStringLiteral("int x;\n") << newInit << newInit << QStringList();
    QTest::newRow("region carried") << userInit << newInit << userInit << QStringList();
    QTest::newRow("region only in new text keeps its default")
        << userInit << newInit + region(QStringLiteral("Poll"), QStringLiteral("    // default\n"))
        << userInit + region(QStringLiteral("Poll"), QStringLiteral("    // default\n")) << QStringList();
    QTest::newRow("unknown name not carried, no warning")
        << region(QStringLiteral("MyCode"), QStringLiteral("mine();\n"))
        << QStringLiteral("a\n") + region(QStringLiteral("MyCode"), QString())
        << QStringLiteral("a\n") + region(QStringLiteral("MyCode"), QString()) << QStringList();
    QTest::newRow("no space after slashes")
        << QStringLiteral("//USER CODE BEGIN Init\nx();\n//USER CODE END Init\n") << newInit
        << QStringLiteral("void f() {\n    //USER CODE BEGIN Init\nx();\n//USER CODE END Init\n}\n") << QStringList();
    QTest::newRow("tabs, several blanks and line breaks between the words")
        << QStringLiteral("//\t USER  \tCODE\nBEGIN   Init\ny();\n//  USER\nCODE\tEND \t Init\n") << newInit
        << QStringLiteral("void f() {\n    //\t USER  \tCODE\nBEGIN   Init\ny();\n//  USER\nCODE\tEND \t Init\n}\n")
        << QStringList();
    QTest::newRow("lower-case keywords are not markers")
        << QStringLiteral("// user code begin Init\nz();\n// user code end Init\n") << newInit << newInit
        << QStringList();
    QTest::newRow("dollar, backslash and percent-digit survive literally")
        << region(QStringLiteral("Init"), QStringLiteral("printf(\"%1 $1 \\\\ \\n %2\");\n$0 \\1\n"))
        << newInit
        << QStringLiteral("void f() {\n    ") +
               region(QStringLiteral("Init"), QStringLiteral("printf(\"%1 $1 \\\\ \\n %2\");\n$0 \\1\n")) +
               QStringLiteral("}\n")
        << QStringList();
    QTest::newRow("two dropped regions are both reported")
        << region(QStringLiteral("gsmPinEventHandler"), QStringLiteral("a();\n")) +
               region(QStringLiteral("gsmUssdEventHandler"), QStringLiteral("b();\n"))
        << newInit << newInit << QStringList{QStringLiteral("gsmPinEventHandler"), QStringLiteral("gsmUssdEventHandler")};
    // One region name is the start of the other: each keeps its own text, in either order.
    const QString writeRegion = region(QStringLiteral("gsmWrite"), QStringLiteral("w();\n"));
    const QString completedRegion = region(QStringLiteral("gsmWriteCompleted"), QStringLiteral("c();\n"));
    const QString emptyWriteRegions = region(QStringLiteral("gsmWrite"), QString()) + region(QStringLiteral("gsmWriteCompleted"), QString());
    QTest::newRow("gsmWrite and gsmWriteCompleted stay apart")
        << writeRegion + completedRegion << emptyWriteRegions << writeRegion + completedRegion << QStringList();
    QTest::newRow("gsmWriteCompleted above gsmWrite in the old text")
        << completedRegion + writeRegion << emptyWriteRegions << writeRegion + completedRegion << QStringList();
    // Markers inside a region's own text (commented-out code, a pasted copy) belong to that region.
    QTest::newRow("markers of another region inside a region's text")
        << region(QStringLiteral("Includes"), QStringLiteral("/* old:\n// USER CODE BEGIN Init\nold();\n// USER CODE END Init\n*/\n")) +
               QStringLiteral("void f() {\n") + region(QStringLiteral("Init"), QStringLiteral("    start();\n"), QStringLiteral("    ")) +
               QStringLiteral("}\n")
        << region(QStringLiteral("Includes"), QStringLiteral("\n")) + newInit
        << region(QStringLiteral("Includes"), QStringLiteral("/* old:\n// USER CODE BEGIN Init\nold();\n// USER CODE END Init\n*/\n")) +
               userInit
        << QStringList();
    // A table of about 12 MB (a firmware image as a C array), more than the expression engine takes
    // in one match.
    const QString table = QStringLiteral("    0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0,\n").repeated(250000);
    QTest::newRow("region of several megabytes")
        << region(QStringLiteral("Variables"), table) + region(QStringLiteral("Init"), QStringLiteral("go();\n"))
        << region(QStringLiteral("Variables"), QString()) + region(QStringLiteral("Init"), QString())
        << region(QStringLiteral("Variables"), table) + region(QStringLiteral("Init"), QStringLiteral("go();\n"))
        << QStringList();
    QTest::newRow("tab inside a two-word name")
        << QStringLiteral("// USER CODE BEGIN Exported\tVariables\nextern int v;\n// USER CODE END Exported\tVariables\n")
        << QStringLiteral("h\n") + region(QStringLiteral("Exported Variables"), QStringLiteral("\n"))
        << QStringLiteral("h\n// USER CODE BEGIN Exported\tVariables\nextern int v;\n// USER CODE END Exported\tVariables\n")
        << QStringList();
    // Without its end marker the region's extent is unknown: reported, so that a backup is offered.
    QTest::newRow("region whose end marker is missing")
        << QStringLiteral("// USER CODE BEGIN Init\nstart();\n") + region(QStringLiteral("Poll"), QStringLiteral("p();\n"))
        << newInit << newInit << QStringList{QStringLiteral("Init"), QStringLiteral("Poll")};
    // An end marker outside every region, or a second region of a name: what belongs to the region is
    // unknown, so the user is warned (and offered a backup) instead of losing code without a word.
    QTest::newRow("marker text in the user's code ends the region early")
        << QStringLiteral("void f() {\n    // USER CODE BEGIN Init\n    log(\"see // USER CODE END Init\");\n    keep();\n"
                          "    // USER CODE END Init\n}\n")
        << newInit << QStringLiteral("void f() {\n    // USER CODE BEGIN Init\n    log(\"see // USER CODE END Init\n}\n")
        << QStringList{QStringLiteral("Init")};
    QTest::newRow("region whose begin marker was deleted")
        << QStringLiteral("void f() {\n    start();\n    // USER CODE END Init\n}\n") << newInit << newInit
        << QStringList{QStringLiteral("Init")};
    QTest::newRow("second begin marker of a name without its end marker")
        << userInit + QStringLiteral("// USER CODE BEGIN Init\nvoid second(void) { keep(); }\n") << newInit << userInit
        << QStringList{QStringLiteral("Init")};
    QTest::newRow("region standing twice")
        << userInit + region(QStringLiteral("Init"), QStringLiteral("    again();\n")) << newInit << userInit
        << QStringList{QStringLiteral("Init")};
    QTest::newRow("multi-word name")
        << region(QStringLiteral("Exported Variables"), QStringLiteral("extern int v;\n"))
        << QStringLiteral("h\n") + region(QStringLiteral("Exported Variables"), QStringLiteral("\n"))
        << QStringLiteral("h\n") + region(QStringLiteral("Exported Variables"), QStringLiteral("extern int v;\n"))
        << QStringList();
}

void TestUserCode::merge()
{
    QFETCH(QString, oldText);
    QFETCH(QString, newText);
    QFETCH(QString, expected);
    QFETCH(QStringList, dropped);
    const UserCodeMerge::Result result = UserCodeMerge::merge(oldText, newText);
    QCOMPARE(result.text, expected);
    QCOMPARE(result.droppedRegions, dropped);
    // Merging is idempotent: the merged text merged again with itself as new text stays the same.
    QCOMPARE(UserCodeMerge::merge(result.text, result.text).text, result.text);
}

void TestUserCode::mergeCarriesEveryRegionIntoRealisticText()
{
    // Every recognised name once in the new text, with user code for all of them in the old one.
    QString oldText;
    QString newText;
    QString expected;
    for (const QString& name : UserCodeMerge::regionNames())
    {
        newText += QStringLiteral("code before ") + name + QLatin1Char('\n') +
                   region(name, QStringLiteral("    // default\n"), QStringLiteral("    "));
        oldText += QStringLiteral("old code before ") + name + QLatin1Char('\n') +
                   region(name, QStringLiteral("    user_") + name + QStringLiteral("();\n"), QStringLiteral("    "));
        expected += QStringLiteral("code before ") + name + QLatin1Char('\n') +
                    region(name, QStringLiteral("    user_") + name + QStringLiteral("();\n"), QStringLiteral("    "));
    }
    const UserCodeMerge::Result result = UserCodeMerge::merge(oldText, newText);
    QCOMPARE(result.droppedRegions, QStringList());
    QCOMPARE(result.text, expected);
}

void TestUserCode::outputPath_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("cpp");
    QTest::addColumn<QString>("expected");
    QTest::newRow("c to cpp") << "/p/gsm_manager.c" << true << "/p/gsm_manager.cpp";
    QTest::newRow("c stays c") << "/p/gsm_manager.c" << false << "/p/gsm_manager.c";
    QTest::newRow("cpp to c") << "/p/gsm_manager.cpp" << false << "/p/gsm_manager.c";
    QTest::newRow("capital C is c") << "/p/gsm_manager.C" << true << "/p/gsm_manager.cpp";
    QTest::newRow("capital CPP is cpp") << "/p/gsm_manager.CPP" << false << "/p/gsm_manager.c";
    QTest::newRow("header keeps its path (cpp)") << "/p/gsm_manager.h" << true << "/p/gsm_manager.h";
    QTest::newRow("header keeps its path (c)") << "/p/gsm_manager.h" << false << "/p/gsm_manager.h";
    QTest::newRow("base name up to the last dot") << "/p/my.gsm_manager.c" << true << "/p/my.gsm_manager.cpp";
}

void TestUserCode::outputPath()
{
    QFETCH(QString, file);
    QFETCH(bool, cpp);
    QFETCH(QString, expected);
    QCOMPARE(UserCodeMerge::outputPath(file, cpp), expected);
}

void TestUserCode::droppedRegionWarnsOncePerFile_data()
{
    QTest::addColumn<int>("droppedCount");
    QTest::newRow("one region") << 1;
    QTest::newRow("three regions") << 3;
}

void TestUserCode::droppedRegionWarnsOncePerFile()
{
    QFETCH(int, droppedCount);
    QTemporaryDir dir;
    ScopedDialogs scoped;
    scoped.dialogs.yesNoAnswers.enqueue(false);
    const QString path = dir.filePath(QStringLiteral("gsm_manager.h"));
    const QStringList names{QStringLiteral("gsmPinEventHandler"), QStringLiteral("gsmUssdEventHandler"),
                            QStringLiteral("SetReset")};
    QString old = region(QStringLiteral("Includes"), QStringLiteral("#include \"board.h\"\n"));
    for (int i = 0; i < droppedCount; ++i)
        old += region(names[i], QStringLiteral("handled();\n"));
    QVERIFY(writeText(path, old));

    QString text = kNewHeader;
    QVERIFY(UserCodeMerge::extractAndSave(path, text, true));

    QCOMPARE(scoped.dialogs.shown.size(), 1);
    const ScriptedDialogs::Shown& box = scoped.dialogs.shown.first();
    QCOMPARE(box.kind, QStringLiteral("yesno"));
    QCOMPARE(box.icon, Dialogs::Icon::Warning);
    QCOMPARE(box.title, QStringLiteral("Warning"));
    QCOMPARE(box.text,
             QStringLiteral("One of the 'USER CODE' sections from gsm_manager.h is no longer being generated. This can "
                            "occur when a library module (that was previously included) has been removed from the "
                            "'Library Modules' list.\n\nWould you like to save a copy of your gsm_manager.h file "
                            "before continuing?"));
    // No: the merged file is written without the dropped regions, the kept one is carried, no backup.
    const QString written = readText(path);
    QVERIFY(written.contains(QStringLiteral("#include \"board.h\"")));
    QVERIFY(!written.contains(QStringLiteral("handled();")));
    QCOMPARE(written, text);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("gsm_manager.h")});
}

void TestUserCode::backupYesWritesOldTextThenMergedFile()
{
    QTemporaryDir dir;
    QTemporaryDir backup;
    ScopedDialogs scoped;
    scoped.dialogs.yesNoAnswers.enqueue(true);
    scoped.dialogs.folderAnswers.enqueue(backup.path());
    const QString path = dir.filePath(QStringLiteral("gsm_manager.c"));
    const QString old = region(QStringLiteral("gsmPinEventHandler"), QStringLiteral("pin(\"$1 %1 \\\\\");\n"));
    QVERIFY(writeText(path, old));

    QString text = kNewHeader;
    QVERIFY(UserCodeMerge::extractAndSave(path, text, false));
    QCOMPARE(scoped.dialogs.titles(), (QStringList{QStringLiteral("Warning"), QStringLiteral("Select Folder")}));
    QCOMPARE(scoped.dialogs.shown.at(1).owner, Dialogs::Owner::NoParent);
    QCOMPARE(readText(backup.filePath(QStringLiteral("gsm_manager.c"))), old);
    QCOMPARE(readText(path), kNewHeader);

    // A second backup into the same folder keeps the first one: the new copy gets a number.
    const QString older = region(QStringLiteral("gsmPinEventHandler"), QStringLiteral("pinAgain();\n"));
    QVERIFY(writeText(path, older));
    scoped.dialogs.yesNoAnswers.enqueue(true);
    scoped.dialogs.folderAnswers.enqueue(backup.path());
    text = kNewHeader;
    QVERIFY(UserCodeMerge::extractAndSave(path, text, false));
    QCOMPARE(readText(backup.filePath(QStringLiteral("gsm_manager.c"))), old);
    QCOMPARE(readText(backup.filePath(QStringLiteral("gsm_manager (2).c"))), older);
}

void TestUserCode::failureWritesNothing_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("cpp");
    QTest::addColumn<QString>("setup"); // what goes wrong
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("text"); // the last box's text; %1: the project folder

    QTest::newRow("backup folder chooser cancelled")
        << "gsm_manager.cpp" << true << "cancel" << QStringList{"Warning", "Select Folder", "Backup Cancelled"}
        << "No backup folder was chosen, so nothing was written to gsm_manager.cpp and the code generation has "
           "stopped.\n\nGenerate the code again and choose a folder for the backup copy, or answer 'No' to continue "
           "without one.";
    // The project folder for the header's backup would make the backup the file written next.
    QTest::newRow("backup into the file itself")
        << "gsm_manager.h" << true << "self" << QStringList{"Warning", "Select Folder", "Write Error"}
        << "Unable to use '%1/gsm_manager.h' as the backup copy: the code generation writes and deletes files in "
           "that folder. Please choose another folder for the backup of gsm_manager.h and try again.";
    // The library folder is emptied after the manager files are written, and the old C file may be
    // deleted as stale after a switch to C++: either would take the backup with it.
    QTest::newRow("backup into the library folder")
        << "gsm_manager.c" << false << "library" << QStringList{"Warning", "Select Folder", "Write Error"}
        << "Unable to use '%1/Velkor/gsm_manager.c' as the backup copy: the code generation writes and deletes files "
           "in that folder. Please choose another folder for the backup of gsm_manager.c and try again.";
    QTest::newRow("backup into the Arduino library folder")
        << "gsm_manager.cpp" << true << "arduino" << QStringList{"Warning", "Select Folder", "Write Error"}
        << "Unable to use '%1/src/Velkor/gsm_manager.cpp' as the backup copy: the code generation writes and deletes "
           "files in that folder. Please choose another folder for the backup of gsm_manager.cpp and try again.";
    QTest::newRow("backup into the project folder when switching to C++")
        << "gsm_manager.c" << true << "self" << QStringList{"Warning", "Select Folder", "Write Error"}
        << "Unable to use '%1/gsm_manager.c' as the backup copy: the code generation writes and deletes files in "
           "that folder. Please choose another folder for the backup of gsm_manager.c and try again.";
    QTest::newRow("backup folder missing")
        << "gsm_manager.c" << true << "missing" << QStringList{"Warning", "Select Folder", "Write Error"}
        << "Unable to open file '%1/no/such/folder/gsm_manager.c' for writing. Please manually backup "
           "gsm_manager.c and try again.";
    QTest::newRow("file cannot be read") << "gsm_manager.h" << false << "unreadable" << QStringList{"Read Error"}
                                         << "Error encountered while trying to save 'USER CODE' sections.\n\n"
                                            "Unable to open file '%1/gsm_manager.h' for reading.";
    QTest::newRow("output cannot be written") << "gsm_manager.c" << true << "output" << QStringList{"Write Error"}
                                              << "Unable to open file '%1/gsm_manager.cpp' for writing.";
    // (A write that fails part-way, as on a full disk, is tested in tst_util::failedWriteKeepsOldFile
    // and tst_generation::fullDiskDuringManagerWriteKeepsUserCode.)
}

// Whatever stops the operation, the old file stays whole and no other file appears.
void TestUserCode::failureWritesNothing()
{
    QFETCH(QString, file);
    QFETCH(bool, cpp);
    QFETCH(QString, setup);
    QFETCH(QStringList, titles);
    QFETCH(QString, text);
    QTemporaryDir dir;
    ScopedDialogs scoped;
    const QString path = dir.filePath(file);
    // A region that the new text keeps, or one that it drops (so that the backup is offered).
    const bool dropped =
        setup == "cancel" || setup == "self" || setup == "missing" || setup == "library" || setup == "arduino";
    const QString old = dropped ? region(QStringLiteral("gsmPinEventHandler"), QStringLiteral("keep_me();\n"))
                                : region(QStringLiteral("Includes"), QStringLiteral("#include \"precious.h\"\n"));
    if (setup == "unreadable")
        QVERIFY(QDir(dir.path()).mkdir(file)); // unreadable as a file, even for root
    else
        QVERIFY(writeText(path, old));
    if (dropped)
        scoped.dialogs.yesNoAnswers.enqueue(true);
    if (setup == "self")
        scoped.dialogs.folderAnswers.enqueue(dir.path());
    if (setup == "library" || setup == "arduino")
    {
        const QString library = setup == "library" ? QStringLiteral("Velkor") : QStringLiteral("src/Velkor");
        QVERIFY(QDir(dir.path()).mkpath(library));
        scoped.dialogs.folderAnswers.enqueue(dir.filePath(library));
    }
    if (setup == "missing")
        scoped.dialogs.folderAnswers.enqueue(dir.filePath(QStringLiteral("no/such/folder")));
    if (setup == "output")
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("gsm_manager.cpp")));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    QString merged = kNewHeader;
    QVERIFY(!UserCodeMerge::extractAndSave(path, merged, cpp));
    QCOMPARE(scoped.dialogs.titles(), titles);
    QCOMPARE(scoped.dialogs.shown.last().text, text.arg(dir.path()));
    QCOMPARE(scoped.dialogs.shown.last().icon, setup == "cancel" ? Dialogs::Icon::Information : Dialogs::Icon::Critical);
    if (setup == "unreadable")
        QVERIFY(QFileInfo(path).isDir());
    else
        QCOMPARE(readText(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

// A C manager with CR LF line ends merged for C++: gsm_manager.cpp gets the region with LF line
// ends, gsm_manager.c stays as it was, and nothing is asked.
void TestUserCode::switchingCToCppWritesCppAndKeepsC()
{
    QTemporaryDir dir;
    ScopedDialogs scoped;
    const QString cPath = dir.filePath(QStringLiteral("gsm_manager.c"));
    const QByteArray old = "// USER CODE BEGIN Includes\r\n#include <a.h>\r\n// USER CODE END Includes\r\n";
    QVERIFY(writeBytes(cPath, old));
    QString text = kNewHeader;
    QVERIFY(UserCodeMerge::extractAndSave(cPath, text, true));
    QCOMPARE(readBytes(cPath), old);
    const QString cpp = readText(dir.filePath(QStringLiteral("gsm_manager.cpp")));
    QVERIFY(cpp.contains(QStringLiteral("// USER CODE BEGIN Includes\n#include <a.h>\n// USER CODE END Includes")));
    QVERIFY(!cpp.contains(QLatin1Char('\r')));
    QCOMPARE(scoped.dialogs.shown.size(), 0);
}

// A CR on its own inside a line of the user's code ends that line for the compiler: the merged
// file must not join the two lines (here that would put the call behind the comment).
void TestUserCode::loneCarriageReturnStaysALineEnd()
{
    QTemporaryDir dir;
    ScopedDialogs scoped;
    const QString path = dir.filePath(QStringLiteral("gsm_manager.h"));
    QVERIFY(writeBytes(path, "// USER CODE BEGIN Includes\n// start the modem\r#include <a.h>\n// USER CODE END Includes\n"));
    QString text = kNewHeader;
    QVERIFY(UserCodeMerge::extractAndSave(path, text, false));
    const QByteArray written = readBytes(path);
    QVERIFY2(written.contains("// start the modem\n#include <a.h>\n"), written.constData());
    QCOMPARE(scoped.dialogs.shown.size(), 0);
}

void TestUserCode::userBytesSurviveInAnyEightBitEncoding_data()
{
    QTest::addColumn<QByteArray>("userLine");
    QTest::addColumn<QByteArray>("bom");     // what the old file starts with
    QTest::addColumn<QByteArray>("lineEnd"); // the old file's line end
    // "25 degrees C" and "cafe" with an accent, as an IDE saves them in each encoding.
    QTest::newRow("UTF-8") << QByteArray("    lcd_print(\"25\xc2\xb0" "C\"); // caf\xc3\xa9\n") << QByteArray()
                           << QByteArray("\n");
    QTest::newRow("Latin-1 / Windows-1252") << QByteArray("    lcd_print(\"25\xb0" "C\"); // caf\xe9\n") << QByteArray()
                                            << QByteArray("\n");
    QTest::newRow("Windows-1252 quotes") << QByteArray("    // \x93quoted\x94 \x80 5\n") << QByteArray()
                                         << QByteArray("\n");
    // A byte order mark tells some compilers that the file is UTF-8; the merged file keeps it.
    QTest::newRow("UTF-8 with byte order mark")
        << QByteArray("    lcd_print(\"25\xc2\xb0" "C\");\n") << QByteArray("\xef\xbb\xbf") << QByteArray("\n");
    // The merged file gets the platform's line ends; the backup keeps the old ones.
    QTest::newRow("CR LF line ends") << QByteArray("    lcd_print(\"25\xc2\xb0" "C\");\n") << QByteArray()
                                     << QByteArray("\r\n");
    // CR alone ends a line for a C compiler too (old Mac files): each region keeps its own lines.
    QTest::newRow("CR line ends") << QByteArray("    lcd_print(\"25\xc2\xb0" "C\");\n") << QByteArray()
                                  << QByteArray("\r");
    QTest::newRow("CR line ends, Latin-1")
        << QByteArray("    // caf\xe9\n") << QByteArray() << QByteArray("\r");
    QTest::newRow("CR line ends with byte order mark")
        << QByteArray("    lcd_print(\"25\xc2\xb0" "C\");\n") << QByteArray("\xef\xbb\xbf") << QByteArray("\r");
}

void TestUserCode::userBytesSurviveInAnyEightBitEncoding()
{
    QFETCH(QByteArray, userLine);
    QFETCH(QByteArray, bom);
    QFETCH(QByteArray, lineEnd);
    QTemporaryDir dir;
    QTemporaryDir backupDir;
    ScopedDialogs scoped;
    const QString path = dir.filePath(QStringLiteral("gsm_manager.h"));
    // The user's line in a region that is carried over and in one that is dropped (so that the
    // backup is offered and taken).
    const QByteArray kept = QByteArray("// USER CODE BEGIN Includes\n") + userLine + "// USER CODE END Includes";
    QByteArray old = kept + "\n// USER CODE BEGIN gsmPinEventHandler\n" + userLine +
                     "// USER CODE END gsmPinEventHandler\n";
    old = bom + old.replace("\n", lineEnd);
    QVERIFY(writeBytes(path, old));
    scoped.dialogs.yesNoAnswers.enqueue(true);
    scoped.dialogs.folderAnswers.enqueue(backupDir.path());

    QString text = kNewHeader;
    QVERIFY(UserCodeMerge::extractAndSave(path, text, false));

    const QByteArray written = readBytes(path);
    QVERIFY2(written.contains(kept), written.toHex(' ').constData());
    QVERIFY(!written.contains("\xef\xbf\xbd")); // no replacement character anywhere
    QVERIFY(written.startsWith(bom + "#ifndef X\n") && written.endsWith("#endif\n"));
    QCOMPARE(written.count("\xef\xbb\xbf"), bom.isEmpty() ? 0 : 1);

    // The backup is the old file exactly as it was.
    QCOMPARE(readBytes(backupDir.filePath(QStringLiteral("gsm_manager.h"))), old);
}

QTEST_GUILESS_MAIN(TestUserCode)
#include "tst_usercode.moc"
