// Download Example and Download User Manual: the headless export over a FakeHost with scripted
// dialogs and small example archives made for each test, the window's slots, and the embedded
// manual.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>


#include "exampleexport.h"
#include "fakehost.h"
#include "scripteddialogs.h"
#include "testsupport.h"
#include "util.h"
#include "velkorconstants.h"
#include "zipwriter.h"

using namespace TestSupport;

namespace
{
const QString kLte = QStringLiteral("SIMCom LTE");
const QString k2G = QStringLiteral("SIMCom 2G");

using Entries = QVector<ZipEntry>;

// An archive laid out like the embedded ones: id/Arduino/P/... and id/STM32CubeIDE/P/... for each
// project P; `sketchName` overrides the sketch's base name (normally P).
Entries exampleEntries(const QString& id, const QStringList& projects, const QString& sketchName = QString())
{
    Entries e;
    e << ZipEntry{id + QStringLiteral("/"), QByteArray()};
    for (const QString& p : projects)
    {
        const QString a = id + QStringLiteral("/Arduino/") + p + QLatin1Char('/');
        const QString sketch = sketchName.isEmpty() ? p : sketchName;
        e << ZipEntry{a, QByteArray()};
        e << ZipEntry{a + sketch + QStringLiteral(".ino"), QByteArray("void setup() {}\nvoid loop() {}\n")};
        e << ZipEntry{a + QStringLiteral("gsm_manager.cpp"), QByteArray("// manager source\n")};
        e << ZipEntry{a + QStringLiteral("gsm_manager.h"), QByteArray("// manager header\n")};
        e << ZipEntry{a + QStringLiteral("main.h"), QByteArray("// pins\n")};
        const QString s = id + QStringLiteral("/STM32CubeIDE/") + p + QLatin1Char('/');
        e << ZipEntry{s + QStringLiteral("Core/Inc/gsm_manager.h"), QByteArray("// manager header\n")};
        e << ZipEntry{s + QStringLiteral("Core/Inc/main.h"), QByteArray("// main header\n")};
        e << ZipEntry{s + QStringLiteral("Core/Inc/uart_dma.h"), QByteArray("// dma header\n")};
        e << ZipEntry{s + QStringLiteral("Core/Src/gsm_manager.c"), QByteArray("// manager source\n")};
        e << ZipEntry{s + QStringLiteral("Core/Src/uart_dma.c"), QByteArray("// dma source\n")};
        e << ZipEntry{s + QStringLiteral("Core/Src/main.c"), QByteArray("int main(void) { return 0; }\n")};
    }
    return e;
}

QStringList checkedIds(const FakeHost& host)
{
    QStringList ids;
    for (VelkorMdl* m : host.checkedModules())
        ids << m->id();
    return ids;
}
} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private:
    // A folder with example archives for the export to read instead of the embedded ones.
    QTemporaryDir mArchives;
    // The same with a Pin example whose sketch is not named after its folder.
    QTemporaryDir mOtherSketch;
    const QString mNotice = Velkor::generatedFileNotice();

    void addArchive(const QString& id, const Entries& entries)
    {
        QVERIFY(writeZip(mArchives.filePath(id + QStringLiteral(".zip")), entries));
    }
    // "Download Example" for `module` over the archives in `archives` (normally mArchives).
    ExampleExport::Result download(FakeHost& host, VelkorMdl* module, const QString& archives = QString())
    {
        ExampleExport exporter(host, mNotice);
        exporter.setArchiveFolder(archives.isEmpty() ? mArchives.path() : archives);
        return exporter.downloadExample(module);
    }

    // Exports the PIN examples into `out`, the folder the dialog is answered with.
    ExampleExport::Result downloadPinInto(const QTemporaryDir& out, ScopedDialogs& scoped)
    {
        FakeHost host;
        scoped.dialogs.folderAnswers.enqueue(out.path());
        return download(host, &host.modules.pin);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mArchives.isValid());
        addArchive(QStringLiteral("Pin"), exampleEntries(QStringLiteral("Pin"), {QStringLiteral("PIN_Enter")}));
        addArchive(QStringLiteral("HTTP_Client_SIMCom"),
                   exampleEntries(QStringLiteral("HTTP_Client_SIMCom"),
                                  {QStringLiteral("HttpClient_Simcom_HTTP_POST"), QStringLiteral("HttpClient_Simcom_HTTP_GET")}));
        QVERIFY(writeZip(mOtherSketch.filePath(QStringLiteral("Pin.zip")),
                         exampleEntries(QStringLiteral("Pin"), {QStringLiteral("PIN_Enter")}, QStringLiteral("Other"))));
    }

    // The HTTP example asks for the connection; anything but "SIMCom LTE" (the box cannot be
    // dismissed, but an empty answer must not leave both or neither ticked) means 2G.
    void httpChooserDecidesConnection_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("lte");
        QTest::newRow("2G") << k2G << false;
        QTest::newRow("LTE") << kLte << true;
        QTest::newRow("no answer") << QString() << false;
    }
    void httpChooserDecidesConnection()
    {
        QFETCH(QString, answer);
        QFETCH(bool, lte);
        QTemporaryDir out;
        FakeHost host;
        host.tick({&host.modules.smsSend, &host.modules.ussd}); // the user's own selection, replaced
        ScopedDialogs scoped;
        scoped.dialogs.choiceAnswers.enqueue(answer);
        scoped.dialogs.folderAnswers.enqueue(out.path());
        QVERIFY2(download(host, &host.modules.httpClientSimcom) == ExampleExport::Result::Downloaded,
                 qPrintable(scoped.dialogs.titles().join(QStringLiteral(", "))));

        QCOMPARE(scoped.dialogs.titles(),
                 QStringList({QStringLiteral("LTE or 2G"), QStringLiteral("Select Folder"),
                              QStringLiteral("Example Downloaded")}));
        const ScriptedDialogs::Shown& choice = scoped.dialogs.shown[0];
        QCOMPARE(choice.text, QStringLiteral("Does your HTTP application require the 'Internet Connection (SIMCom 2G)' "
                                             "module or the 'Internet Connection (SIMCom LTE)' module?"));
        QCOMPARE(choice.buttons, QStringList({k2G, kLte}));
        QCOMPARE(choice.icon, Dialogs::Icon::Information);
        QCOMPARE(scoped.dialogs.shown[1].owner, Dialogs::Owner::MainWindow);
        QCOMPARE(scoped.dialogs.shown[2].text, QStringLiteral("Example downloaded successfully."));
        QCOMPARE(scoped.dialogs.shown[2].icon, Dialogs::Icon::Information);

        QCOMPARE(host.isModuleChecked(&host.modules.internetConnectionSimcom), lte);
        QCOMPARE(host.isModuleChecked(&host.modules.internetConnectionSimcom2G), !lte);
        QVERIFY(!host.isModuleChecked(&host.modules.smsSend));
        QVERIFY(!host.isModuleChecked(&host.modules.ussd));

        // Both projects of both flavours got the library of the chosen connection only.
        const QString root = out.filePath(QStringLiteral("HTTP_Client_SIMCom"));
        const QString lteHeader = QStringLiteral("GSM_InternetConnection_Simcom.h");
        const QString g2Header = QStringLiteral("GSM_InternetConnection_Simcom2G.h");
        for (const QString& project : {QStringLiteral("HttpClient_Simcom_HTTP_GET"), QStringLiteral("HttpClient_Simcom_HTTP_POST")})
        {
            const QString arduinoLib = root + QStringLiteral("/Arduino/") + project + QStringLiteral("/src/Velkor/");
            const QString stmLib = root + QStringLiteral("/STM32CubeIDE/") + project + QStringLiteral("/Core/Velkor/");
            for (const QString& lib : {arduinoLib, stmLib})
            {
                QVERIFY2(QFile::exists(lib + QStringLiteral("GSM_HttpClient_Simcom.c")), qPrintable(lib));
                QCOMPARE(QFile::exists(lib + lteHeader), lte);
                QCOMPARE(QFile::exists(lib + g2Header), !lte);
                QVERIFY(QFile::exists(lib + QStringLiteral("GSM_Globals.h")));
            }
            QVERIFY(QFile::exists(root + QStringLiteral("/Arduino/") + project + QStringLiteral("/circbuff.h")));
            QVERIFY(QFile::exists(root + QStringLiteral("/STM32CubeIDE/") + project + QStringLiteral("/Core/Inc/circbuff.h")));
            QVERIFY(QFile::exists(root + QStringLiteral("/STM32CubeIDE/") + project + QStringLiteral("/Core/Src/circbuff.c")));
        }
        QCOMPARE(readText(root + QStringLiteral("/LICENSE.txt")),
                 Util::resourceText(QStringLiteral(":/license/resources/license/LICENSE.txt")));
    }

    // The example's modules replace the user's ticks: the module and what it needs, nothing else.
    void exampleTicksReplaceSelection()
    {
        QTemporaryDir out;
        FakeHost host;
        host.tick({&host.modules.mqttClientSimcom, &host.modules.smsRead});
        ScopedDialogs scoped;
        scoped.dialogs.folderAnswers.enqueue(out.path());
        QVERIFY2(download(host, &host.modules.pin) == ExampleExport::Result::Downloaded,
                 qPrintable(scoped.dialogs.titles().join(", ")));
        QCOMPARE(checkedIds(host), QStringList({QString(), QStringLiteral("Power"), QStringLiteral("Prompt"),
                                                QStringLiteral("BasicComms"), QStringLiteral("Pin")}));
        // No LTE-or-2G question for other modules.
        QCOMPARE(scoped.dialogs.titles(),
                 QStringList({QStringLiteral("Select Folder"), QStringLiteral("Example Downloaded")}));
    }

    // Exporting twice into one folder restores the files from the archive before the notice is put
    // in front again: every notice file holds it exactly once, with the archive text after it.
    void secondExportKeepsOneNotice()
    {
        QTemporaryDir out;
        FakeHost host;
        for (int run = 0; run < 2; ++run)
        {
            ScopedDialogs scoped;
            scoped.dialogs.folderAnswers.enqueue(out.path());
            QVERIFY2(download(host, &host.modules.pin) == ExampleExport::Result::Downloaded,
                     qPrintable(scoped.dialogs.titles().join(", ")));
        }
        const QString arduino = out.filePath(QStringLiteral("Pin/Arduino/PIN_Enter/"));
        const QString stm = out.filePath(QStringLiteral("Pin/STM32CubeIDE/PIN_Enter/"));
        const QList<QPair<QString, QString>> noticed{
            {arduino + QStringLiteral("PIN_Enter.ino"), QStringLiteral("void setup() {}\nvoid loop() {}\n")},
            {arduino + QStringLiteral("gsm_manager.cpp"), QStringLiteral("// manager source\n")},
            {arduino + QStringLiteral("gsm_manager.h"), QStringLiteral("// manager header\n")},
            {arduino + QStringLiteral("main.h"), QStringLiteral("// pins\n")},
            {stm + QStringLiteral("Core/Inc/gsm_manager.h"), QStringLiteral("// manager header\n")},
            {stm + QStringLiteral("Core/Inc/uart_dma.h"), QStringLiteral("// dma header\n")},
            {stm + QStringLiteral("Core/Src/gsm_manager.c"), QStringLiteral("// manager source\n")},
            {stm + QStringLiteral("Core/Src/uart_dma.c"), QStringLiteral("// dma source\n")},
        };
        for (const auto& file : noticed)
            QCOMPARE(readText(file.first), QStringLiteral("\n") + mNotice + file.second);
        // Files outside the notice table stay as the archive has them.
        QCOMPARE(readText(stm + QStringLiteral("Core/Inc/main.h")), QStringLiteral("// main header\n"));
        QCOMPARE(readText(stm + QStringLiteral("Core/Src/main.c")), QStringLiteral("int main(void) { return 0; }\n"));
        // The library files hold the notice once too (the library folder is emptied and rewritten).
        const QString pinHeader = readText(arduino + QStringLiteral("src/Velkor/GSM_PIN.h"));
        QCOMPARE(pinHeader.count(mNotice), 1);
    }

    // The sketch looked for is the folder name + ".ino": a sketch with another name keeps its text.
    void sketchNamedOtherwiseGetsNoNotice()
    {
        QTemporaryDir out;
        FakeHost host;
        ScopedDialogs scoped;
        scoped.dialogs.folderAnswers.enqueue(out.path());
        QVERIFY2(download(host, &host.modules.pin, mOtherSketch.path()) == ExampleExport::Result::Downloaded,
                 qPrintable(scoped.dialogs.titles().join(", ")));
        const QString project = out.filePath(QStringLiteral("Pin/Arduino/PIN_Enter/"));
        QCOMPARE(readText(project + QStringLiteral("Other.ino")), QStringLiteral("void setup() {}\nvoid loop() {}\n"));
        QVERIFY(!QFile::exists(project + QStringLiteral("PIN_Enter.ino")));
        QVERIFY(readText(project + QStringLiteral("gsm_manager.cpp")).startsWith(QStringLiteral("\n") + mNotice));
    }

    // A cancelled folder chooser writes nothing, after the HTTP question as well; the ticks have
    // changed already.
    void cancelledChooserWritesNothing_data()
    {
        QTest::addColumn<int>("module"); // index into the registry
        QTest::newRow("Pin") << 4;
        QTest::newRow("HTTP") << 12;
    }
    void cancelledChooserWritesNothing()
    {
        QFETCH(int, module);
        QTemporaryDir out;
        FakeHost host;
        VelkorMdl* selected = host.allModules().at(module);
        ScopedDialogs scoped;
        scoped.dialogs.choiceAnswers.enqueue(kLte);
        QCOMPARE(download(host, selected), ExampleExport::Result::Cancelled);
        QVERIFY(snapshot(out.path()).isEmpty());
        QVERIFY(host.isModuleChecked(selected));
        QVERIFY(host.isModuleChecked(&host.modules.power));
        QCOMPARE(scoped.dialogs.titles().last(), QStringLiteral("Select Folder"));
    }

    void missingArchiveReportsDownloadError()
    {
        QTemporaryDir out;
        FakeHost host;
        ScopedDialogs scoped;
        scoped.dialogs.folderAnswers.enqueue(out.path());
        QCOMPARE(download(host, &host.modules.rssi), ExampleExport::Result::ExtractFailed);
        QCOMPARE(scoped.dialogs.shown.size(), 2);
        QCOMPARE(scoped.dialogs.shown[1].icon, Dialogs::Icon::Critical);
        QCOMPARE(scoped.dialogs.shown[1].title, QStringLiteral("Download Error"));
        QCOMPARE(scoped.dialogs.shown[1].text, QStringLiteral("Failed to extract example projects."));
        QVERIFY(snapshot(out.path()).isEmpty());
    }

    // The licence cannot be written (a folder stands in its place): the examples stay unpacked,
    // without library files, and no success is reported.
    void unwritableLicenceReportsLicensingError()
    {
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkpath(QStringLiteral("Pin/LICENSE.txt")));
        ScopedDialogs scoped;
        QCOMPARE(downloadPinInto(out, scoped), ExampleExport::Result::LicenceFailed);
        QCOMPARE(scoped.dialogs.titles(), QStringList({QStringLiteral("Select Folder"), QStringLiteral("Licensing Error")}));
        QCOMPARE(scoped.dialogs.shown[1].text,
                 QStringLiteral("Unable to download LICENSE agreement. Please review folder write permissions."));
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("Pin/Arduino/PIN_Enter/gsm_manager.cpp"))));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("Pin/Arduino/PIN_Enter/src/Velkor/GSM_PIN.h"))));
        QCOMPARE(readText(out.filePath(QStringLiteral("Pin/Arduino/PIN_Enter/gsm_manager.cpp"))),
                 QStringLiteral("// manager source\n"));
    }

    // Without a current module row there is nothing to export and the ticks stay as they were.
    void noModuleDoesNothing()
    {
        FakeHost host;
        host.tick({&host.modules.smsSend});
        ScopedDialogs scoped;
        QCOMPARE(download(host, nullptr), ExampleExport::Result::NothingSelected);
        QVERIFY(scoped.dialogs.shown.isEmpty());
        QCOMPARE(checkedIds(host), QStringList({QString(), QStringLiteral("SMS_Send")}));
    }

    // The embedded manual is copied byte for byte, replacing a file of that name, and is a PDF.
    void manualCopiedByteForByte()
    {
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("Velkor User Manual.pdf"));
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(200000, 'x'));
        }
        ScopedDialogs scoped;
        scoped.dialogs.folderAnswers.enqueue(out.path());
        QCOMPARE(ExampleExport::downloadUserManual(), target);
        QCOMPARE(scoped.dialogs.titles(), QStringList({QStringLiteral("Select Folder")}));
        QCOMPARE(scoped.dialogs.shown[0].owner, Dialogs::Owner::MainWindow);

        const QByteArray expected = readBytes(ExampleExport::userManualResource());
        const QByteArray bytes = readBytes(target);
        QCOMPARE(bytes.size(), expected.size());
        QVERIFY(bytes == expected);

        QVERIFY2(bytes.startsWith("%PDF-"), "the manual is not a PDF");
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            return;
        QProcess process;
        process.start(pdftotext, {target, QStringLiteral("-")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        const QString text = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY(text.contains(QStringLiteral("Velkor User Manual")));
        QVERIFY(text.contains(QStringLiteral("Contents")));
        QVERIFY(text.contains(QStringLiteral("USER CODE")));
        QVERIFY(text.contains(QStringLiteral("gsmmgrHttpClientSimcomGet"))); // the module reference is in it
        QVERIFY(text.contains(QStringLiteral("Troubleshooting")));
    }

    // Files of the archive that cannot be written (a folder stands in their place) are reported
    // instead of a success; everything else is written.
    void unwritableExampleFilesAreReported()
    {
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkpath(QStringLiteral("Pin/Arduino/PIN_Enter/gsm_manager.cpp")));
        ScopedDialogs scoped;
        QCOMPARE(downloadPinInto(out, scoped), ExampleExport::Result::Incomplete);
        QCOMPARE(scoped.dialogs.titles(), QStringList({QStringLiteral("Select Folder"), QStringLiteral("Download Error")}));
        QCOMPARE(scoped.dialogs.shown[1].icon, Dialogs::Icon::Critical);
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("Pin/LICENSE.txt"))));
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("Pin/Arduino/PIN_Enter/src/Velkor/GSM_PIN.h"))));
    }

    // A manual that cannot be written is reported; a written one needs no box.
    void unwritableManualIsReported()
    {
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkpath(ExampleExport::userManualFileName()));
        ScopedDialogs scoped;
        scoped.dialogs.folderAnswers.enqueue(out.path());
        QCOMPARE(ExampleExport::downloadUserManual(), QString());
        QCOMPARE(scoped.dialogs.titles(), QStringList({QStringLiteral("Select Folder"), QStringLiteral("Download Error")}));
        QCOMPARE(scoped.dialogs.shown[1].icon, Dialogs::Icon::Critical);
    }

    void manualChooserCancelledWritesNothing()
    {
        QTemporaryDir out;
        ScopedDialogs scoped;
        QCOMPARE(ExampleExport::downloadUserManual(), QString());
        QVERIFY(snapshot(out.path()).isEmpty());
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
