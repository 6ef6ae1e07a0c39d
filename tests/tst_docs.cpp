// The module documentation pages: every module finds its page, the page is rich text that the
// Module Info pane can show, and it documents what the generated code and the library give the
// user (the gsmmgr functions, the events, the USER CODE callbacks) and fits the pane's width.

#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

#include "mainwindow.h"
#include "util.h"
#include "velkormodules.h"

namespace
{
const QString kDocFolder = QStringLiteral(":/doc/resources/doc/");

QString plainText(const QString& html)
{
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

QStringList matches(const QString& text, const QString& pattern)
{
    QStringList list;
    QRegularExpressionMatchIterator it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
    {
        const QString m = it.next().captured(1);
        if (!list.contains(m))
            list << m;
    }
    return list;
}

// An event type is documented by its full name, or (in long tables) by the common prefix given once
// and the suffix that follows "_EventType".
bool eventDocumented(const QString& text, const QString& eventType)
{
    if (text.contains(eventType))
        return true;
    const int at = eventType.indexOf(QStringLiteral("_EventType_"));
    if (at < 0)
        return false;
    const QString prefix = eventType.left(at + int(qstrlen("_EventType")));
    const QString suffix = eventType.mid(prefix.size());
    return text.contains(prefix) && QRegularExpression(QStringLiteral("(^|\\W)") + QRegularExpression::escape(suffix) + QStringLiteral("\\b"))
                                        .match(text)
                                        .hasMatch();
}
} // namespace

class TestDocs : public QObject
{
    Q_OBJECT

private:
    VelkorModules mModules;

private slots:
    void initTestCase()
    {
        // Every option on, so that every callback a module can generate is asked for.
        mModules.power.useResetPin = true;
        mModules.internetConnectionSimcom.isApnRequired = true;
        mModules.internetConnectionSimcom2G.isApnRequired = true;
    }

    void pageOfEachModule_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        const QList<QPair<QString, QString>> pages{
            {QStringLiteral("velkormdl_GettingStarted.html"), QStringLiteral("Start")},
            {QStringLiteral("velkormdl_Power.html"), QStringLiteral("Power (PwrKey Based)")},
            {QStringLiteral("velkormdl_Prompt.html"), QStringLiteral("Prompt")},
            {QStringLiteral("velkormdl_BasicComms.html"), QStringLiteral("Basic Comms")},
            {QStringLiteral("velkormdl_Pin.html"), QStringLiteral("Pin")},
            {QStringLiteral("velkormdl_Rssi.html"), QStringLiteral("RSSI (Signal Quality)")},
            {QStringLiteral("velkormdl_NetworkRegistration.html"), QStringLiteral("Network Registration")},
            {QStringLiteral("velkormdl_SmsSend.html"), QStringLiteral("SMS (Text Message) Send")},
            {QStringLiteral("velkormdl_SmsRead.html"), QStringLiteral("SMS (Text Message) Receive")},
            {QStringLiteral("velkormdl_Ussd.html"), QStringLiteral("USSD")},
            {QStringLiteral("velkormdl_InternetConnectionSimcom_LTE.html"), QStringLiteral("Internet Connection (SIMCom LTE)")},
            {QStringLiteral("velkormdl_InternetConnectionSimcom_2G.html"), QStringLiteral("Internet Connection (SIMCom 2G)")},
            {QStringLiteral("velkormdl_HttpClientSimcom.html"), QStringLiteral("HTTP Client (SIMCom)")},
            {QStringLiteral("velkormdl_MqttClientSimcom.html"), QStringLiteral("MQTT Client (SIMCom)")},
        };
        for (int i = 0; i < pages.size(); ++i)
            QTest::newRow(qPrintable(pages[i].second)) << i << pages[i].first << pages[i].second;
    }

    // The module hands out exactly its own page, and the page is a titled rich-text document.
    void pageOfEachModule()
    {
        QFETCH(int, index);
        QFETCH(QString, file);
        QFETCH(QString, title);
        VelkorMdl* module = mModules.all().at(index);
        const QString html = module->docHtml();
        QVERIFY2(!html.isEmpty(), qPrintable(file));
        QCOMPARE(html, Util::resourceText(kDocFolder + file));

        QTextDocument doc;
        doc.setHtml(html);
        const QString text = doc.toPlainText();
        QVERIFY(text.size() > 400);
        // The first block is the page's heading and names the module as the list does.
        QVERIFY(doc.begin().blockFormat().headingLevel() > 0);
        QVERIFY2(doc.begin().text().startsWith(title), qPrintable(doc.begin().text()));
        // Plain rich text for the pane: nothing to load from elsewhere, ASCII only.
        for (const QString& tag : {QStringLiteral("<img"), QStringLiteral("<link"), QStringLiteral("<script")})
            QVERIFY2(!html.contains(tag, Qt::CaseInsensitive), qPrintable(tag));
        for (const QChar c : html)
            QVERIFY2(c.unicode() < 128, qPrintable(file));
    }

    // Every gsmmgr function the module declares in gsm_manager.h, every event its handler switches
    // on, and every USER CODE section of its callbacks is explained on its page.
    void pageDocumentsGeneratedCode_data() { pageOfEachModule_data(); }
    void pageDocumentsGeneratedCode()
    {
        QFETCH(int, index);
        VelkorMdl* module = mModules.all().at(index);
        const QString text = plainText(module->docHtml());

        QStringList expected = matches(module->headerFunctionPrototypes(), QStringLiteral("\\b(gsmmgr\\w+)"));
        expected += matches(module->generalCallbackFunctions(), QStringLiteral("USER CODE BEGIN (\\w+)"));
        expected += matches(module->generalCallbackFunctions(), QStringLiteral("^(?:void|bool|uint8_t|char\\*) (\\w+)\\("));
        expected += matches(module->eventCallbackFunctions(), QStringLiteral("^void (\\w+)\\("));
        for (const QString& name : expected)
            QVERIFY2(text.contains(name), qPrintable(name));
        for (const QString& event : matches(module->eventCallbackFunctions(), QStringLiteral("case (\\w+_EventType_\\w+):")))
            QVERIFY2(eventDocumented(text, event), qPrintable(event));
    }

    // The events the library itself declares (its headers' event enums) are all on the page, so a
    // library event that the generated handler does not list is still explained.
    void pageDocumentsLibraryEvents_data() { pageOfEachModule_data(); }
    void pageDocumentsLibraryEvents()
    {
        QFETCH(int, index);
        VelkorMdl* module = mModules.all().at(index);
        const QString text = plainText(module->docHtml());
        for (const QString& file : module->libFilenames())
        {
            if (!file.endsWith(QLatin1String(".h")) || file.endsWith(QLatin1String("_Interface.h")))
                continue;
            const QString header = Util::resourceText(QStringLiteral(":/velkor/resources/velkor/") + file);
            const QStringList events =
                matches(header, QStringLiteral("^\\s*(GSM_\\w+_EventType_\\w+)\\s*(?:=\\s*\\d+\\s*)?,?\\s*(?:/\\*|$)"));
            for (const QString& event : events)
                QVERIFY2(eventDocumented(text, event), qPrintable(file + QLatin1String(": ") + event));
        }
    }

    // Shown in the Module Info pane at the window's start size, no page needs sideways scrolling
    // (code lines and table contents are short enough).
    void pagesFitModuleInfoPane()
    {
        MainWindow window;
        window.resize(1231, 631);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* pane = window.findChild<QTextEdit*>(QStringLiteral("txtedtMdlInfo"));
        QVERIFY(pane != nullptr);
        const QSize size = pane->size();
        QVERIFY(size.width() > 300);

        for (VelkorMdl* module : mModules.all())
        {
            QTextEdit edit;
            edit.setReadOnly(true);
            edit.resize(size);
            edit.setHtml(module->docHtml());
            edit.show();
            QVERIFY(QTest::qWaitForWindowExposed(&edit));
            const QString title = edit.document()->toPlainText().section(QLatin1Char('\n'), 0, 0);
            // A pixel or two is the layout's rounding of wrapped lines, not a line that runs off.
            QVERIFY2(edit.horizontalScrollBar()->maximum() <= 2,
                     qPrintable(QStringLiteral("%1: needs %2 pixels, the pane shows %3")
                                    .arg(title)
                                    .arg(edit.document()->idealWidth())
                                    .arg(edit.viewport()->width())));
        }
    }

};

QTEST_MAIN(TestDocs)
#include "tst_docs.moc"
