// The module dependency check: which ticks it adds and which messages it reports (over a FakeHost,
// where the logic lives), and that the window's "Check Module Dependencies" button shows them in one
// critical box only when there is something to say.

#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QtTest>

#include "dependencycheck.h"
#include "fakehost.h"
#include "mainwindow.h"
#include "scripteddialogs.h"
#include "testsupport.h"

using namespace TestSupport;

namespace
{
const QString kBoth = QStringLiteral(
    "Please choose only one of the \"Internet Connection\" modules.\n\nMultiple internet connection modules cannot be "
    "used simultaneously and may cause unforseen errors.\n\nNote that the \"MQTT Client (SIMCom)\" module is not "
    "currently compatible with the 2G internet connection module.");
const QString kNone = QStringLiteral(
    "No Internet Connection module was selected. 'Internet Connection (SIMCom LTE)' has now been selected as a default "
    "- please check and update depending on your requirements.");

// Ticks exactly the modules `ids` in the window.
void tickOnly(MainWindow& w, const QStringList& ids)
{
    child<QPushButton>(w, "btnLibMdlSelectNone")->click();
    for (const QString& id : ids)
        w.guiSetModuleIsChecked(w.moduleById(id), true);
}

// Ticked module ids in registry order (the Start module has none and is left out).
QStringList tickedIds(ProjectHost& host)
{
    QStringList ids;
    for (VelkorMdl* m : host.checkedModules())
        if (!m->id().isEmpty())
            ids << m->id();
    return ids;
}
} // namespace

class TestDependencies : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void checkAddsWhatTickedModulesNeed_data();
    void checkAddsWhatTickedModulesNeed();
    void secondRunAddsNothing();
    void buttonShowsMessagesInOneBox();
    void checkLeavesViewAlone();
};

void TestDependencies::cleanup()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(QStringLiteral("left visible: ") + w->objectName()));
}

void TestDependencies::checkAddsWhatTickedModulesNeed_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("messages");

    const QString power = QStringLiteral("Power"), prompt = QStringLiteral("Prompt"),
                  basic = QStringLiteral("BasicComms"), pin = QStringLiteral("Pin"), rssi = QStringLiteral("RSSI"),
                  netreg = QStringLiteral("NetworkRegistration"), smsSend = QStringLiteral("SMS_Send"),
                  smsRead = QStringLiteral("SMS_Read"), ussd = QStringLiteral("USSD"),
                  lte = QStringLiteral("InternetConnection_SIMCom"), g2 = QStringLiteral("InternetConnection_SIMCom2G"),
                  http = QStringLiteral("HTTP_Client_SIMCom"), mqtt = QStringLiteral("MQTT_Client_SIMCom");
    const QStringList base{power, prompt, basic};
    const QStringList network = base + QStringList{netreg};

    QTest::newRow("nothing ticked") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("power alone needs nothing") << QStringList{power} << QStringList{power} << QStringList{};
    QTest::newRow("prompt adds power") << QStringList{prompt} << QStringList{power, prompt} << QStringList{};
    QTest::newRow("basic comms adds prompt, power") << QStringList{basic} << base << QStringList{};
    for (const QString& id : {pin, rssi})
        QTest::addRow("%s stops at basic comms", qPrintable(id)) << QStringList{id} << base + QStringList{id} << QStringList{};
    QTest::newRow("network registration") << QStringList{netreg} << network << QStringList{};
    for (const QString& id : {smsSend, smsRead, ussd, lte, g2})
        QTest::addRow("%s adds network registration", qPrintable(id))
            << QStringList{id} << network + QStringList{id} << QStringList{};
    QTest::newRow("mqtt brings lte down to power")
        << QStringList{mqtt} << network + QStringList{lte, mqtt} << QStringList{};
    QTest::newRow("mqtt with 2g adds lte and warns")
        << QStringList{mqtt, g2} << network + QStringList{lte, g2, mqtt} << QStringList{kBoth};
    QTest::newRow("http alone picks lte")
        << QStringList{http} << network + QStringList{lte, http} << QStringList{kNone};
    QTest::newRow("http accepts 2g") << QStringList{http, g2} << network + QStringList{g2, http} << QStringList{};
    QTest::newRow("http accepts lte") << QStringList{http, lte} << network + QStringList{lte, http} << QStringList{};
    QTest::newRow("both connections and http: one message")
        << QStringList{lte, g2, http} << network + QStringList{lte, g2, http} << QStringList{kBoth};
    QTest::newRow("both connections alone") << QStringList{lte, g2} << network + QStringList{lte, g2}
                                            << QStringList{kBoth};
    QTest::newRow("start defaults are complete") << network << network << QStringList{};
    QTest::newRow("everything")
        << network + QStringList{pin, rssi, smsSend, smsRead, ussd, lte, g2, http, mqtt}
        << QStringList{power, prompt, basic, pin, rssi, netreg, smsSend, smsRead, ussd, lte, g2, http, mqtt}
        << QStringList{kBoth};
}

void TestDependencies::checkAddsWhatTickedModulesNeed()
{
    QFETCH(QStringList, ticked);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, messages);
    FakeHost host;
    for (const QString& id : ticked)
        host.setModuleChecked(host.moduleById(id), true);
    QCOMPARE(DependencyCheck::run(host), messages);
    QCOMPARE(tickedIds(host), expected);
}

void TestDependencies::secondRunAddsNothing()
{
    FakeHost host;
    host.tick({&host.modules.httpClientSimcom});
    QCOMPARE(DependencyCheck::run(host), QStringList{kNone});
    const QStringList afterFirst = tickedIds(host);
    QCOMPARE(DependencyCheck::run(host), QStringList{}); // LTE is ticked now
    QCOMPARE(tickedIds(host), afterFirst);

    // The conflict is reported again for as long as it lasts.
    host.tick({&host.modules.internetConnectionSimcom2G});
    QCOMPARE(DependencyCheck::run(host), QStringList{kBoth});
    QCOMPARE(DependencyCheck::run(host), QStringList{kBoth});
}

// The window's button: the ticks in the list, the messages in one critical box, or no box at all.
void TestDependencies::buttonShowsMessagesInOneBox()
{
    ScopedDialogs dialogs;
    MainWindow w;
    tickOnly(w, {QStringLiteral("Pin")});
    child<QPushButton>(w, "btnLibMdlCheckDependencies")->click();
    QCOMPARE(tickedIds(w), (QStringList{"Power", "Prompt", "BasicComms", "Pin"}));
    QCOMPARE(dialogs.dialogs.shown.size(), 0);

    tickOnly(w, {QStringLiteral("MQTT_Client_SIMCom"), QStringLiteral("InternetConnection_SIMCom2G")});
    child<QPushButton>(w, "btnLibMdlCheckDependencies")->click();
    QCOMPARE(dialogs.dialogs.shown.size(), 1);
    const ScriptedDialogs::Shown& box = dialogs.dialogs.shown.first();
    QCOMPARE(box.kind, QStringLiteral("message"));
    QCOMPARE(box.icon, Dialogs::Icon::Critical);
    QCOMPARE(box.title, QStringLiteral("Module Dependencies"));
    QCOMPARE(box.text, kBoth);
    QVERIFY(w.guiModuleIsChecked(w.moduleById(QStringLiteral("InternetConnection_SIMCom"))));
}

void TestDependencies::checkLeavesViewAlone()
{
    MainWindow w;
    QListWidget* list = child<QListWidget>(w, "lstwgtModules");
    QTabWidget* tabs = child<QTabWidget>(w, "tabwgtMdl");
    list->setCurrentRow(3);
    tabs->setCurrentWidget(child<QWidget>(w, "tbMdlSettings_BasicComms"));
    const QString html = child<QTextEdit>(w, "txtedtMdlInfo")->toHtml();

    tickOnly(w, {QStringLiteral("MQTT_Client_SIMCom")});
    // A PartiallyChecked row counts as unticked and is made Checked if needed.
    list->item(1)->setCheckState(Qt::PartiallyChecked);
    w.guiModuleCheckDependencies();

    QCOMPARE(list->item(1)->checkState(), Qt::Checked);
    QCOMPARE(list->currentRow(), 3);
    QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tbMdlSettings_BasicComms"));
    QCOMPARE(child<QTextEdit>(w, "txtedtMdlInfo")->toHtml(), html);
    QVERIFY(!list->item(0)->data(Qt::CheckStateRole).isValid());
}

QTEST_MAIN(TestDependencies)
#include "tst_dependencies.moc"
