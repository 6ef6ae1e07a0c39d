// The module dependency check: which ticks it adds, which messages it reports, and that the "Check
// Module Dependencies" button shows them in one critical box only when there is something to say.

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

void tickOnly(MainWindow& w, const QStringList& ids)
{
    child<QPushButton>(w, "btnLibMdlSelectNone")->click();
    for (const QString& id : ids) {
        VelkorMdl* module = w.moduleById(id);
        QVERIFY2(module != nullptr, qPrintable(id));
        w.guiSetModuleIsChecked(module, true);
    }
}

// Ticked module ids in registry order (the Start module has none and is left out).
QStringList tickedIds(MainWindow& w)
{
    QList<VelkorMdl*> list;
    w.guiCheckedModulesGet(&list);
    QStringList ids;
    for (VelkorMdl* m : list)
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
    void checkLeavesViewAlone();
    void worksWithoutWidgets();
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
    QTest::newRow("pin stops at basic comms") << QStringList{pin} << base + QStringList{pin} << QStringList{};
    QTest::newRow("rssi stops at basic comms") << QStringList{rssi} << base + QStringList{rssi} << QStringList{};
    QTest::newRow("network registration") << QStringList{netreg} << network << QStringList{};
    QTest::newRow("sms send") << QStringList{smsSend} << network + QStringList{smsSend} << QStringList{};
    QTest::newRow("sms receive") << QStringList{smsRead} << network + QStringList{smsRead} << QStringList{};
    QTest::newRow("ussd") << QStringList{ussd} << network + QStringList{ussd} << QStringList{};
    QTest::newRow("lte") << QStringList{lte} << network + QStringList{lte} << QStringList{};
    QTest::newRow("2g") << QStringList{g2} << network + QStringList{g2} << QStringList{};
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

    // Through the button, which shows the messages in one box, or nothing at all. (The function's
    // own result is checked in secondRunAddsNothing and worksWithoutWidgets.)
    ScopedDialogs dialogs;
    MainWindow w;
    tickOnly(w, ticked);
    child<QPushButton>(w, "btnLibMdlCheckDependencies")->click();
    QCOMPARE(tickedIds(w), expected);
    if (messages.isEmpty()) {
        QCOMPARE(dialogs.dialogs.shown.size(), 0);
    } else {
        QCOMPARE(dialogs.dialogs.shown.size(), 1);
        const ScriptedDialogs::Shown& box = dialogs.dialogs.shown.first();
        QCOMPARE(box.kind, QStringLiteral("message"));
        QCOMPARE(box.icon, Dialogs::Icon::Critical);
        QCOMPARE(box.title, QStringLiteral("Module Dependencies"));
        QCOMPARE(box.text, messages.join(QLatin1Char('\n')));
    }
}

void TestDependencies::secondRunAddsNothing()
{
    MainWindow w;
    tickOnly(w, {QStringLiteral("HTTP_Client_SIMCom")});
    QCOMPARE(w.guiModuleCheckDependencies(), QStringList{kNone});
    const QStringList afterFirst = tickedIds(w);
    QCOMPARE(w.guiModuleCheckDependencies(), QStringList{}); // LTE is ticked now
    QCOMPARE(tickedIds(w), afterFirst);

    // The conflict is reported again for as long as it lasts.
    w.guiSetModuleIsChecked(w.moduleById(QStringLiteral("InternetConnection_SIMCom2G")), true);
    QCOMPARE(w.guiModuleCheckDependencies(), QStringList{kBoth});
    QCOMPARE(w.guiModuleCheckDependencies(), QStringList{kBoth});
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

void TestDependencies::worksWithoutWidgets()
{
    FakeHost host;
    host.tick({&host.modules.httpClientSimcom});

    QCOMPARE(DependencyCheck::run(host), QStringList{kNone});
    QCOMPARE(DependencyCheck::messageNoInternetConnection(), kNone);
    QCOMPARE(DependencyCheck::messageBothInternetConnections(), kBoth);
    QCOMPARE(host.checkedModules(),
             (QList<VelkorMdl*>{&host.modules.gettingStarted, &host.modules.power, &host.modules.prompt,
                                &host.modules.basicComms, &host.modules.networkRegistration,
                                &host.modules.internetConnectionSimcom, &host.modules.httpClientSimcom}));
}

QTEST_MAIN(TestDependencies)
#include "tst_dependencies.moc"
