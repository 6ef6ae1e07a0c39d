// Tests of the file and resource utilities: text reading and writing, byte copies, folder cleaning,
// the free-button message box and the unpacking of zip archives.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>


#include <memory>
#include <unistd.h>

#include "scripteddialogs.h"
#include "testsupport.h"
#include "util.h"
#include "zipwriter.h"

using namespace TestSupport;

namespace
{
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// When `wanted`, runs as an ordinary user while it lives if the tests run as root (root may write
// read-only files, which would hide the behaviour under test). Real and effective ids change; the
// saved id stays root, so the destructor can switch back.
class UnprivilegedScope
{
  public:
    explicit UnprivilegedScope(bool wanted)
    {
        if (wanted && geteuid() == 0)
            mSwitched = setresgid(65534, 65534, 0) == 0 && setresuid(65534, 65534, 0) == 0;
    }
    ~UnprivilegedScope()
    {
        if (mSwitched)
        {
            setresuid(0, 0, 0);
            setresgid(0, 0, 0);
        }
    }
    bool ok() const
    {
        return geteuid() != 0;
    }

  private:
    bool mSwitched = false;
};

// A text with every kind of byte that a text-mode copy would change or stop at.
const QByteArray kBinary = QByteArray("line1\r\nline2\n\0mid\r\n\r\0end\x01\xff\xfe", 27);
} // namespace

class TestUtil : public QObject
{
    Q_OBJECT

  private slots:
    void resourceText_data();
    void resourceText();
    void readFileContentsLeavesOutputOnFailure();
    void prependWritesEntriesInReverseOrder();
    void writeIntoMissingFolderFailsWithoutCreatingIt();
    void saveReplacesExistingFile();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void downloadCopiesBytesExactly_data();
    void downloadCopiesBytesExactly();
    void downloadLogsWhatFailed();
    void dirClean_data();
    void dirClean();
    void dirCleanOfMissingFolderSucceeds();
    void dirCleanRemovesReadOnlyFile();
    void customMessageBoxReturnsPressedText();
    void extractUnpacksEveryEntry();
    void extractSkipsEntriesOutsideDestination();
    void extractKeepsOldFileWhenEntryIsCorrupt();
    void extractOfMissingArchiveCreatesNothing();
};

void TestUtil::resourceText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("abc\n") << QStringLiteral("abc\n");
    QTest::newRow("crlf becomes lf") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb\n");
    QTest::newRow("stops at nul") << QByteArray("before\0after", 12) << QStringLiteral("before");
    QTest::newRow("nul first") << QByteArray("\0abc", 4) << QString();
    QTest::newRow("utf8") << QByteArray("caf\xc3\xa9 \xe2\x80\xa6") << QStringLiteral("caf\u00e9 \u2026");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestUtil::resourceText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("file.txt");
    QVERIFY(writeBytes(path, bytes));
    QCOMPARE(Util::resourceText(path), expected);
    QCOMPARE(Util::resourceText(dir.filePath("missing.txt")), QString());
    QCOMPARE(Util::resourceText(":/no/such/resource.txt"), QString());
}

void TestUtil::readFileContentsLeavesOutputOnFailure()
{
    QTemporaryDir dir;
    QString output = QStringLiteral("unchanged");
    QVERIFY(!Util::readFileContentsToString(dir.filePath("missing"), &output));
    QCOMPARE(output, QStringLiteral("unchanged"));

    QVERIFY(writeBytes(dir.filePath("in.txt"), "x\r\ny\r\n"));
    QVERIFY(Util::readFileContentsToString(dir.filePath("in.txt"), &output));
    QCOMPARE(output, QStringLiteral("x\ny\n"));
}

void TestUtil::prependWritesEntriesInReverseOrder()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath("in.txt"), "abc"));
    QVERIFY(Util::readFilePrependStringListAndWriteFile(dir.filePath("in.txt"), dir.filePath("out.txt"),
                                                        {QStringLiteral("X"), QStringLiteral("Y")}));
    QCOMPARE(readBytes(dir.filePath("out.txt")), QByteArray("YXabc"));

    // Input and output may be the same file; CR LF input is written with LF.
    QVERIFY(writeBytes(dir.filePath("same.txt"), "one\r\ntwo\r\n"));
    QVERIFY(Util::readFilePrependStringListAndWriteFile(
        dir.filePath("same.txt"), dir.filePath("same.txt"),
        {QStringLiteral("/* notice */\n"), QStringLiteral("\n")}));
    QCOMPARE(readBytes(dir.filePath("same.txt")), QByteArray("\n/* notice */\none\ntwo\n"));

    // A missing input leaves the output as it was.
    QVERIFY(!Util::readFilePrependStringListAndWriteFile(dir.filePath("missing.txt"), dir.filePath("out.txt"),
                                                         {QStringLiteral("X")}));
    QCOMPARE(readBytes(dir.filePath("out.txt")), QByteArray("YXabc"));

    QString target = QStringLiteral("tail");
    Util::prependStringToString(&target, QStringLiteral("head-"));
    QCOMPARE(target, QStringLiteral("head-tail"));
}

void TestUtil::writeIntoMissingFolderFailsWithoutCreatingIt()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath("in.txt"), "abc"));
    QString text = QStringLiteral("text");
    const QString target = dir.filePath("missing/out.txt");

    QVERIFY(!Util::saveStringToFileDirectory(target, &text));
    QVERIFY(
        !Util::readFilePrependStringListAndWriteFile(dir.filePath("in.txt"), target, {QStringLiteral("X")}));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
    QVERIFY(!Util::saveStringToFileDirectory(QStringLiteral(":/code/resources/code/written.txt"), &text));
}

void TestUtil::saveReplacesExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    QVERIFY(writeBytes(path, "a much longer earlier content that must disappear"));
    QString text = QStringLiteral("new\ntext");
    QVERIFY(Util::saveStringToFileDirectory(path, &text));
    QCOMPARE(readBytes(path), QByteArray("new\ntext"));
    QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("out.txt")});
}

void TestUtil::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("readOnly"); // the target is read-only (else: the disk fills up part-way)
    for (bool readOnly : {false, true})
    {
        const char* cause = readOnly ? "read-only target" : "full disk";
        QTest::addRow("saveStringToFileDirectory, %s", cause) << QStringLiteral("save") << readOnly;
        QTest::addRow("readFilePrependStringListAndWriteFile, %s", cause) << QStringLiteral("prepend") << readOnly;
        QTest::addRow("downloadResourceFile, %s", cause) << QStringLiteral("download") << readOnly;
    }
}

// A write that cannot replace the target (a file size limit standing in for a full disk, or a
// read-only file written as an ordinary user) reports failure and leaves the earlier file whole,
// with no temporary file left behind.
void TestUtil::failedWriteKeepsOldFile()
{
    QFETCH(QString, operation);
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                  QFileDevice::WriteOther | QFileDevice::ExeOther));
    const QString target = dir.filePath("target.txt");
    const QByteArray old = "old content\n";
    const QByteArray big(200 * 1024, 'x');
    QVERIFY(writeBytes(dir.filePath("input.txt"), big));
    QVERIFY(writeBytes(target, old));
    QString text = QString::fromLatin1(big);
    if (readOnly)
    {
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadOther));
        QVERIFY(QFile::setPermissions(dir.filePath("input.txt"), QFileDevice::ReadOwner | QFileDevice::ReadOther));
    }

    auto run = [&]()
    {
        if (operation == QLatin1String("save"))
            return Util::saveStringToFileDirectory(target, &text);
        if (operation == QLatin1String("prepend"))
            return Util::readFilePrependStringListAndWriteFile(dir.filePath("input.txt"), target,
                                                               {QStringLiteral("X")});
        return Util::downloadResourceFile(dir.filePath("input.txt"), target);
    };

    bool result = true;
    {
        std::unique_ptr<FileSizeLimit> limit(readOnly ? nullptr : new FileSizeLimit(4096));
        UnprivilegedScope user(readOnly);
        QVERIFY(readOnly ? user.ok() : limit->active());
        if (operation == QLatin1String("download"))
            QTest::ignoreMessage(
                QtWarningMsg, qPrintable(QStringLiteral("Failed to create local file: \"%1\"").arg(target)));
        result = run();
    }
    QVERIFY(!result);
    QCOMPARE(readBytes(target), old);
    QCOMPARE(entriesOf(dir.path()), (QStringList{QStringLiteral("input.txt"), QStringLiteral("target.txt")}));

    // Without the limit the same call succeeds, so the failure above came from the short write.
    if (!readOnly)
    {
        QVERIFY(run());
        QVERIFY(readBytes(target).size() >= big.size());
    }
}

void TestUtil::downloadCopiesBytesExactly_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("expected");

    // An empty source stands for a file on disk holding kBinary, made by the test itself.
    QTest::newRow("file with cr lf and nul") << QString() << kBinary;

    // Every embedded icon is compared with its file in the source tree.
    const QString icoDir = QStringLiteral(VELKOR_SOURCE_DIR "/resources/ico");
    for (const QString& name : QDir(QStringLiteral(":/ico/resources/ico")).entryList(QDir::Files))
    {
        QTest::newRow(qPrintable(QStringLiteral("icon ") + name))
            << QStringLiteral(":/ico/resources/ico/") + name << readBytes(icoDir + QLatin1Char('/') + name);
    }
}

void TestUtil::downloadCopiesBytesExactly()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    if (source.isEmpty())
    {
        source = dir.filePath("binary.bin");
        QVERIFY(writeBytes(source, kBinary));
    }
    QVERIFY(!expected.isEmpty());
    const QString target = dir.filePath("copy.bin");
    QVERIFY(writeBytes(target, QByteArray(4096, 'z'))); // a longer earlier file is replaced
    QVERIFY(Util::downloadResourceFile(source, target));
    QCOMPARE(readBytes(target), expected);
}

void TestUtil::downloadLogsWhatFailed()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.pdf");
    QTest::ignoreMessage(QtWarningMsg,
                         qPrintable(QStringLiteral("Failed to open resource file: \"%1\"").arg(missing)));
    QVERIFY(!Util::downloadResourceFile(missing, dir.filePath("out.pdf")));
    QVERIFY(!QFileInfo::exists(dir.filePath("out.pdf")));

    QVERIFY(writeBytes(dir.filePath("in.bin"), kBinary));
    const QString noFolder = dir.filePath("no/such/out.pdf");
    QTest::ignoreMessage(QtWarningMsg,
                         qPrintable(QStringLiteral("Failed to create local file: \"%1\"").arg(noFolder)));
    QVERIFY(!Util::downloadResourceFile(dir.filePath("in.bin"), noFolder));
    QVERIFY(!QFileInfo::exists(dir.filePath("no")));
}

void TestUtil::dirClean_data()
{
    QTest::addColumn<QString>("filters");
    QTest::addColumn<QStringList>("kept");

    // Every row starts from: a.txt, b.c, c.h, nodot, .hidden.txt and the folders sub.d and plain.
    const QStringList folders{QStringLiteral("plain"), QStringLiteral("sub.d")};
    QTest::newRow("*.*") << QStringLiteral("*.*") << (QStringList{".hidden.txt", "nodot"} + folders);
    QTest::newRow("two patterns") << QStringLiteral("*.c;*.h")
                                  << (QStringList{".hidden.txt", "a.txt", "nodot"} + folders);
    QTest::newRow("empty parts match nothing")
        << QStringLiteral(";*.txt;") << (QStringList{".hidden.txt", "b.c", "c.h", "nodot"} + folders);
    QTest::newRow("empty filter") << QString()
                                  << (QStringList{".hidden.txt", "a.txt", "b.c", "c.h", "nodot"} + folders);
    QTest::newRow("*") << QStringLiteral("*") << (QStringList{".hidden.txt"} + folders);
}

void TestUtil::dirClean()
{
    QFETCH(QString, filters);
    QFETCH(QStringList, kept);
    QTemporaryDir dir;
    for (const char* name : {"a.txt", "b.c", "c.h", "nodot", ".hidden.txt"})
        QVERIFY(writeBytes(dir.filePath(QLatin1String(name)), "x"));
    QVERIFY(QDir(dir.path()).mkpath("sub.d/inner"));
    QVERIFY(writeBytes(dir.filePath("sub.d/inner/deep.txt"), "x"));
    QVERIFY(QDir(dir.path()).mkdir("plain"));

    QVERIFY(Util::DirClean(dir.path(), filters));
    kept.sort();
    QCOMPARE(entriesOf(dir.path()), kept);
    QVERIFY(QFileInfo::exists(dir.filePath("sub.d/inner/deep.txt")));
}

void TestUtil::dirCleanOfMissingFolderSucceeds()
{
    QTemporaryDir dir;
    QVERIFY(Util::DirClean(dir.filePath("missing"), QStringLiteral("*.*")));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
}

void TestUtil::dirCleanRemovesReadOnlyFile()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    QVERIFY(writeBytes(dir.filePath("locked.h"), "x"));
    QVERIFY(QFile::setPermissions(dir.filePath("locked.h"), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    // A link to a read-only file elsewhere is removed without touching the file it points to.
    QVERIFY(writeBytes(outside.filePath("target.h"), "keep"));
    QVERIFY(QFile::setPermissions(outside.filePath("target.h"), QFileDevice::ReadOwner));
    QVERIFY(QFile::link(outside.filePath("target.h"), dir.filePath("link.h")));

    QVERIFY(Util::DirClean(dir.path(), QStringLiteral("*.h")));
    QCOMPARE(entriesOf(dir.path()), QStringList());
    QCOMPARE(readBytes(outside.filePath("target.h")), QByteArray("keep"));
    QVERIFY(!(QFile::permissions(outside.filePath("target.h")) & QFileDevice::WriteOwner));
}

void TestUtil::customMessageBoxReturnsPressedText()
{
    ScopedDialogs scoped;
    scoped.dialogs.choiceAnswers.enqueue(QStringLiteral("two"));
    const QStringList buttons{QStringLiteral("one"), QStringLiteral("two")};
    QCOMPARE(Util::CustomMessageBox(QStringLiteral("Title"), QStringLiteral("Text"), buttons,
                                    QMessageBox::Information),
             QStringLiteral("two"));
    QCOMPARE(scoped.dialogs.shown.size(), 1);
    const ScriptedDialogs::Shown& shown = scoped.dialogs.shown.first();
    QCOMPARE(shown.kind, QStringLiteral("choose"));
    QCOMPARE(shown.title, QStringLiteral("Title"));
    QCOMPARE(shown.text, QStringLiteral("Text"));
    QCOMPARE(shown.buttons, buttons);
    QVERIFY(shown.icon == Dialogs::Icon::Information);

    // No button pressed: an empty text.
    QCOMPARE(Util::CustomMessageBox(QStringLiteral("T"), QStringLiteral("X"), buttons, QMessageBox::Warning),
             QString());
    QVERIFY(scoped.dialogs.shown.last().icon == Dialogs::Icon::Warning);
}

void TestUtil::extractUnpacksEveryEntry()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("Mod.zip");
    QVERIFY(writeZip(archive, {
                                  {"Mod/", {}, false},
                                  {"Mod/Arduino/", {}, false},
                                  {"Mod/Arduino/P/P.ino", kBinary, true}, // deflated and stored entries
                                  {"Mod/STM32CubeIDE/P/Core/Src/gsm_manager.c", "int x;\r\n", false},
                                  {"Mod/Empty/", {}, false},
                                  {"Mod/big.txt", QByteArray(300 * 1024, 'q'), true},
                              }));

    const QString dest = dir.filePath("out/nested");
    QVERIFY(Util::extractZippedFile(archive, dest));
    QCOMPARE(readBytes(dest + "/Mod/Arduino/P/P.ino"), kBinary);
    QCOMPARE(readBytes(dest + "/Mod/STM32CubeIDE/P/Core/Src/gsm_manager.c"), QByteArray("int x;\r\n"));
    QCOMPARE(readBytes(dest + "/Mod/big.txt"), QByteArray(300 * 1024, 'q'));
    QVERIFY(QFileInfo(dest + "/Mod/Empty").isDir());

    // Again over an earlier export: named files are replaced, other files stay.
    QVERIFY(writeBytes(dest + "/Mod/Arduino/P/P.ino", "edited by the user"));
    QVERIFY(writeBytes(dest + "/Mod/Arduino/P/extra.txt", "mine"));
    QVERIFY(Util::extractZippedFile(archive, dest));
    QCOMPARE(readBytes(dest + "/Mod/Arduino/P/P.ino"), kBinary);
    QCOMPARE(readBytes(dest + "/Mod/Arduino/P/extra.txt"), QByteArray("mine"));
}

void TestUtil::extractSkipsEntriesOutsideDestination()
{
    QTemporaryDir dir;
    const QString base = dir.filePath("base");
    const QString dest = base + "/dest";
    QVERIFY(QDir().mkpath(dest));
    QVERIFY(QDir().mkpath(dir.filePath("outside")));
    QVERIFY(QFile::link(dir.filePath("outside"), dest + "/link"));
    // A link in place of a named file leads outside as well.
    QVERIFY(writeBytes(dir.filePath("victim.txt"), "victim"));
    QVERIFY(QDir().mkpath(dest + "/ok"));
    QVERIFY(QFile::link(dir.filePath("victim.txt"), dest + "/ok/linkfile"));
    const QString absName = dir.filePath("abs.txt"); // an absolute entry name, aimed at the temporary folder

    const QStringList evil{QStringLiteral("../evil.txt"),
                           absName,
                           QStringLiteral("/abs.txt"),
                           QStringLiteral("a/../../evil2.txt"),
                           QStringLiteral("Mod/../../../evil3.txt"),
                           QStringLiteral("..\\evil4.txt"),
                           QStringLiteral("C:/evil5.txt"),
                           QStringLiteral("link/evil6.txt"),
                           QStringLiteral("../"),
                           QStringLiteral("link/newdir/"),
                           QStringLiteral("ok/linkfile")};
    QVector<ZipEntry> entries{{"ok/first.txt", "first", true}};
    for (const QString& name : evil)
        entries.append({name, name.endsWith('/') ? QByteArray() : QByteArray("evil"), false});
    entries.append({"ok/a/../last.txt", "last", false});
    const QString archive = dir.filePath("evil.zip");
    QVERIFY(writeZip(archive, entries));

    for (const QString& name : evil)
    {
        QString quoted = name; // as the warning quotes it
        quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Skipped archive entry .*\"") +
                                                              QRegularExpression::escape(quoted) + "\"$"));
    }
    QVERIFY(Util::extractZippedFile(archive, dest));

    // The entries inside arrive; nothing is written outside the destination.
    QCOMPARE(readBytes(dest + "/ok/first.txt"), QByteArray("first"));
    QCOMPARE(readBytes(dest + "/ok/last.txt"), QByteArray("last"));
    QCOMPARE(entriesOf(dir.path()), (QStringList{"base", "evil.zip", "outside", "victim.txt"}));
    QCOMPARE(readBytes(dir.filePath("victim.txt")), QByteArray("victim"));
    QCOMPARE(entriesOf(base), QStringList{"dest"});
    QCOMPARE(entriesOf(dir.filePath("outside")), QStringList());
    QCOMPARE(entriesOf(dest), (QStringList{"link", "ok"}));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/abs.txt")) ||
            readBytes(QStringLiteral("/abs.txt")) != "evil");
}

// An entry whose data no longer matches its checksum replaces nothing and creates nothing.
void TestUtil::extractKeepsOldFileWhenEntryIsCorrupt()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("corrupt.zip");
    const QByteArray payload = "PAYLOAD-0123456789-PAYLOAD";
    QVERIFY(writeZip(
        archive,
        {{"p/old.txt", payload, false}, {"p/new.txt", payload, false}, {"p/good.txt", "good", true}}));
    QByteArray bytes = readBytes(archive);
    int at = bytes.indexOf(payload);
    QVERIFY(at >= 0);
    bytes[at + 10] = 'X';
    at = bytes.indexOf(payload, at + 1);
    QVERIFY(at >= 0);
    bytes[at + 10] = 'X';
    QVERIFY(writeBytes(archive, bytes));

    const QString dest = dir.filePath("dest");
    QVERIFY(QDir().mkpath(dest + "/p"));
    QVERIFY(writeBytes(dest + "/p/old.txt", "earlier"));
    QVERIFY(Util::extractZippedFile(archive, dest));
    QCOMPARE(readBytes(dest + "/p/old.txt"), QByteArray("earlier"));
    QCOMPARE(readBytes(dest + "/p/good.txt"), QByteArray("good"));
    QCOMPARE(entriesOf(dest + "/p"), (QStringList{"good.txt", "old.txt"}));
}

void TestUtil::extractOfMissingArchiveCreatesNothing()
{
    QTemporaryDir dir;
    QVERIFY(!Util::extractZippedFile(dir.filePath("missing.zip"), dir.filePath("dest")));
    QVERIFY(!QFileInfo::exists(dir.filePath("dest")));

    QVERIFY(writeBytes(dir.filePath("notzip.zip"), "this is not a zip archive"));
    QVERIFY(!Util::extractZippedFile(dir.filePath("notzip.zip"), dir.filePath("dest")));
    QVERIFY(!QFileInfo::exists(dir.filePath("dest")));
    QVERIFY(!Util::extractZippedFile(QStringLiteral(":/examples/resources/examples/NoSuchModule.zip"),
                                     dir.filePath("dest")));
    QVERIFY(!QFileInfo::exists(dir.filePath("dest")));
}

QTEST_MAIN(TestUtil)
#include "tst_util.moc"
