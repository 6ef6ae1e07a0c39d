// The main window as the user meets it: start-up state, the module list rows and their mapping to the
// module objects, the tabs a current row shows, the slots connected by name, the icons and the About
// dialog.

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

#include "aboutwindow.h"
#include "mainwindow.h"
#include "scripteddialogs.h"
#include "testsupport.h"

using namespace TestSupport;

namespace
{
QStringList visibleTabTitles(MainWindow& w)
{
    QTabWidget* tabs = child<QTabWidget>(w, "tabwgtMdl");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            titles << tabs->tabText(i);
    return titles;
}

QStringList ids(const QList<VelkorMdl*>& modules)
{
    QStringList list;
    for (VelkorMdl* m : modules)
        list << m->id();
    return list;
}

const QStringList kRegistryIds = {QString(),
                                  QStringLiteral("Power"),
                                  QStringLiteral("Prompt"),
                                  QStringLiteral("BasicComms"),
                                  QStringLiteral("Pin"),
                                  QStringLiteral("RSSI"),
                                  QStringLiteral("NetworkRegistration"),
                                  QStringLiteral("SMS_Send"),
                                  QStringLiteral("SMS_Read"),
                                  QStringLiteral("USSD"),
                                  QStringLiteral("InternetConnection_SIMCom"),
                                  QStringLiteral("InternetConnection_SIMCom2G"),
                                  QStringLiteral("HTTP_Client_SIMCom"),
                                  QStringLiteral("MQTT_Client_SIMCom")};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void startsWithOnlyModuleInfoAndCSelected();
    void listRowsAsDesigned();
    void everySlotFindsItsWidget();

    void rowsMapToModulesThroughTable_data();
    void rowsMapToModulesThroughTable();
    void lookupsRejectWhatIsNotAModuleRow();
    void checkedModulesComeInRegistryOrder();

    void currentRowShowsItsTabs_data();
    void currentRowShowsItsTabs();
    void rowChangeMakesModuleInfoCurrent();
    void selectAllAndNoneLeaveViewAlone();

    void projectHostReadsTheWidgets();

    void windowIconHoldsAllSizes();
    void buttonsCarryTheirIcons();

    void aboutDialogAsDesigned();
};

void TestMainWindow::cleanup()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(QStringLiteral("left visible: ") + w->objectName()));
}

void TestMainWindow::startsWithOnlyModuleInfoAndCSelected()
{
    MainWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Velkor Code Generator v1.0"));
    QCOMPARE(visibleTabTitles(w), QStringList{QStringLiteral("Module Info")});
    QCOMPARE(child<QTabWidget>(w, "tabwgtMdl")->currentIndex(), 0);
    QCOMPARE(child<QTabWidget>(w, "tabwgtMdl")->count(), 8);
    QVERIFY(child<QRadioButton>(w, "optProjectIsC")->isChecked());
    QVERIFY(!child<QRadioButton>(w, "optProjectIsCpp")->isChecked());
    QVERIFY(child<QCheckBox>(w, "optProjectIsArduino")->isHidden());
    QVERIFY(!child<QCheckBox>(w, "optProjectIsArduino")->isChecked());
    QVERIFY(child<QLineEdit>(w, "lnedtProjectPath")->text().isEmpty());
    QCOMPARE(child<QListWidget>(w, "lstwgtModules")->currentRow(), -1);
    QVERIFY(child<QTextEdit>(w, "txtedtMdlInfo")->toPlainText().isEmpty());
    QVERIFY(child<QTextEdit>(w, "txtedtMdlInfo")->isReadOnly());
    QCOMPARE(child<QTextEdit>(w, "txtedtMdlInfo")->textInteractionFlags(),
             Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QVERIFY(w.guiSelectedModule() == nullptr);

    QList<VelkorMdl*> checked;
    w.guiCheckedModulesGet(&checked);
    QCOMPARE(ids(checked), (QStringList{QString(), QStringLiteral("Power"), QStringLiteral("Prompt"),
                                        QStringLiteral("BasicComms"), QStringLiteral("NetworkRegistration")}));
}

// The Start header, the thirteen module rows (indented by their place in the dependency tree, the
// start selection ticked) and the three note rows.
void TestMainWindow::listRowsAsDesigned()
{
    const char* const texts[] = {"Start", "Power (PwrKey Based)", "    Prompt", "        Basic Comms", "            Pin",
                                 "            RSSI (Signal Quality)", "            Network Registration",
                                 "                SMS (Text Message) Send", "                SMS (Text Message) Receive",
                                 "                USSD", "                Internet Connection (SIMCom 2G)",
                                 "                Internet Connection (SIMCom LTE)", "                    HTTP Client (SIMCom)",
                                 "                    MQTT Client (SIMCom)", "Do you need a module which is not listed?",
                                 "Please let us know using the button below,", "so that we can prioritise development :-)."};
    MainWindow w;
    QListWidget* list = child<QListWidget>(w, "lstwgtModules");
    QCOMPARE(list->count(), 17);
    QVERIFY(!list->isSortingEnabled());
    for (int row = 0; row < 17; ++row)
    {
        QListWidgetItem* item = list->item(row);
        const bool module = row >= 1 && row <= 13;
        const int flags = row == 0 ? Qt::ItemIsSelectable | Qt::ItemIsEnabled
                          : module ? Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled
                                   : Qt::NoItemFlags;
        QCOMPARE(item->text(), QString::fromLatin1(texts[row]));
        QCOMPARE(int(item->flags()), flags);
        const QVariant state = item->data(Qt::CheckStateRole);
        QCOMPARE(state.isValid(), module);
        if (module)
            QCOMPARE(state.toInt() == Qt::Checked, QList<int>({1, 2, 3, 6}).contains(row));
        QCOMPARE(item->font().bold(), row == 0);
        QCOMPARE(item->font().italic(), row == 0 || row > 13);
        QVERIFY(!item->font().underline());
        QCOMPARE(!item->icon().isNull(), row == 0);
        QCOMPARE(item->statusTip(), row == 1 ? QStringLiteral("Power") : QString());
    }
}

// Slots are connected by object name: a renamed widget or a mistyped slot would silently do nothing.
void TestMainWindow::everySlotFindsItsWidget()
{
    MainWindow w;
    AboutWindow about;
    for (QObject* owner : {static_cast<QObject*>(&w), static_cast<QObject*>(&about)}) {
        const QMetaObject* meta = owner->metaObject();
        int slotCount = 0;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            const QString name = QString::fromLatin1(method.name());
            if (method.methodType() != QMetaMethod::Slot || !name.startsWith(QLatin1String("on_")))
                continue;
            ++slotCount;
            const QString objectName = name.mid(3, name.lastIndexOf(QLatin1Char('_')) - 3);
            QObject* sender = owner->findChild<QObject*>(objectName);
            QVERIFY2(sender != nullptr, qPrintable(QStringLiteral("no widget for slot ") + name));
            const QByteArray signal = method.methodSignature().mid(4 + objectName.size());
            QVERIFY2(sender->metaObject()->indexOfSignal(signal.constData()) >= 0,
                     qPrintable(QStringLiteral("no signal for slot ") + name));
        }
        QVERIFY(slotCount > 0);
        if (owner == &w)
            QCOMPARE(slotCount, 29);
    }
}

void TestMainWindow::rowsMapToModulesThroughTable_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("id");
    QStringList rowIds = kRegistryIds; // the list shows 2G before LTE
    rowIds.swapItemsAt(10, 11);
    for (int row = 0; row < rowIds.size(); ++row)
        QTest::addRow("row %d %s", row, qPrintable(rowIds[row])) << row << rowIds[row];
}

void TestMainWindow::rowsMapToModulesThroughTable()
{
    QFETCH(int, row);
    QFETCH(QString, id);
    MainWindow w;
    VelkorMdl* module = w.moduleByIndex(row);
    QVERIFY(module != nullptr);
    QCOMPARE(module->id(), id);
    QCOMPARE(w.guiModuleIndexInList(module), row);
    QVERIFY(w.moduleById(id) == module);

    // Ticking through the module reaches exactly this row.
    QListWidget* list = child<QListWidget>(w, "lstwgtModules");
    child<QPushButton>(w, "btnLibMdlSelectNone")->click();
    w.guiSetModuleIsChecked(module, true);
    for (int r = 1; r < 14; ++r)
        QCOMPARE(list->item(r)->checkState() == Qt::Checked, r == row);
    QCOMPARE(w.guiModuleIsChecked(module), row != 0);
}

// What is not a module row of this window is not found, not ticked and not touched: rows outside the
// module range, another window's modules, ids in another spelling, the Start module's tick, and a
// partially checked row.
void TestMainWindow::lookupsRejectWhatIsNotAModuleRow()
{
    MainWindow w;
    MainWindow other;
    for (int row : {-1, 14, 15, 16, 17, 1000})
        QVERIFY2(w.moduleByIndex(row) == nullptr, qPrintable(QString::number(row)));
    VelkorMdl* foreign = other.moduleByIndex(1);
    QCOMPARE(w.guiModuleIndexInList(foreign), -1);
    QCOMPARE(w.guiModuleIndexInList(nullptr), -1);
    QVERIFY(other.guiModuleIsChecked(foreign));
    QVERIFY(!w.guiModuleIsChecked(foreign));
    QVERIFY(!w.guiModuleIsChecked(nullptr));
    w.guiSetModuleIsChecked(foreign, false); // must not touch w's Power row
    w.guiSetModuleIsChecked(nullptr, false);
    VelkorMdl* power = w.moduleById(QStringLiteral("Power"));
    QVERIFY(w.guiModuleIsChecked(power));

    QVERIFY(w.moduleById(QString()) == w.moduleByIndex(0));
    for (const char* id : {"power", "Power ", "GettingStarted"})
        QVERIFY2(w.moduleById(QLatin1String(id)) == nullptr, id);

    VelkorMdl* start = w.moduleByIndex(0);
    w.guiSetModuleIsChecked(start, true);
    QVERIFY(!w.guiModuleIsChecked(start));
    QVERIFY(!child<QListWidget>(w, "lstwgtModules")->item(0)->data(Qt::CheckStateRole).isValid());

    child<QListWidget>(w, "lstwgtModules")->item(1)->setCheckState(Qt::PartiallyChecked);
    QVERIFY(!w.guiModuleIsChecked(power));
    QVERIFY(!w.isModuleChecked(power));
}

void TestMainWindow::checkedModulesComeInRegistryOrder()
{
    MainWindow w;
    QList<VelkorMdl*> list{w.moduleByIndex(5)}; // stale contents are replaced

    child<QPushButton>(w, "btnLibMdlSelectNone")->click();
    w.guiCheckedModulesGet(&list);
    QCOMPARE(ids(list), QStringList{QString()});

    child<QPushButton>(w, "btnLibMdlSelectAll")->click();
    w.guiCheckedModulesGet(&list);
    QCOMPARE(ids(list), kRegistryIds); // LTE before 2G, although the list shows 2G first

    QList<VelkorMdl*> all{w.moduleByIndex(3)};
    w.modulesGetAll(&all);
    QCOMPARE(ids(all), kRegistryIds);
    QCOMPARE(w.allModules(), all);

    // Only 2G and MQTT: order follows the registry, not the rows.
    child<QPushButton>(w, "btnLibMdlSelectNone")->click();
    w.guiSetModuleIsChecked(w.moduleByIndex(13), true);
    w.guiSetModuleIsChecked(w.moduleByIndex(10), true);
    w.guiCheckedModulesGet(&list);
    QCOMPARE(ids(list), (QStringList{QString(), QStringLiteral("InternetConnection_SIMCom2G"),
                                     QStringLiteral("MQTT_Client_SIMCom")}));
    QCOMPARE(ids(w.checkedModules()), ids(list));
}

void TestMainWindow::currentRowShowsItsTabs_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("tabs");
    const QString info = QStringLiteral("Module Info");
    const QString example = QStringLiteral("Example Projects");
    const QStringList settings{"Start", "Power (PwrKey Based)", "Prompt", "BasicComms"};
    for (int row = 0; row < 4; ++row)
        QTest::addRow("row %d", row) << row << QStringList{info, "Settings [" + settings[row] + "]"};
    for (int row : {4, 5, 7, 8, 9, 12, 13})
        QTest::addRow("row %d", row) << row << QStringList{info, example};
    QTest::newRow("Network Registration") << 6 << QStringList{info};
    QTest::newRow("2G") << 10 << QStringList{info, QStringLiteral("Settings [Internet Connection (SIMCom 2G)]")};
    QTest::newRow("LTE") << 11 << QStringList{info, QStringLiteral("Settings [Internet Connection (SIMCom LTE)]")};
    QTest::newRow("note row") << 15 << QStringList{info};
}

void TestMainWindow::currentRowShowsItsTabs()
{
    QFETCH(int, row);
    QFETCH(QStringList, tabs);
    MainWindow w;
    QListWidget* list = child<QListWidget>(w, "lstwgtModules");
    QTextEdit* page = child<QTextEdit>(w, "txtedtMdlInfo");

    // Start from another module's view, so that leftovers would show.
    list->setCurrentRow(row == 2 ? 3 : 2);
    list->setCurrentRow(row);
    QCOMPARE(list->currentRow(), row);
    QCOMPARE(visibleTabTitles(w), tabs);
    QCOMPARE(child<QTabWidget>(w, "tabwgtMdl")->currentIndex(), 0);

    VelkorMdl* module = w.moduleByIndex(row);
    QVERIFY(w.guiSelectedModule() == module);
    QTextDocument expected;
    expected.setHtml(module != nullptr ? module->docHtml() : QString());
    QCOMPARE(page->toPlainText(), expected.toPlainText());
}

void TestMainWindow::rowChangeMakesModuleInfoCurrent()
{
    MainWindow w;
    QListWidget* list = child<QListWidget>(w, "lstwgtModules");
    QTabWidget* tabs = child<QTabWidget>(w, "tabwgtMdl");
    list->setCurrentRow(2);
    tabs->setCurrentWidget(child<QWidget>(w, "tbMdlSettings_Prompt"));
    QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tbMdlSettings_Prompt"));
    list->setCurrentRow(4);
    QCOMPARE(tabs->currentIndex(), 0);

    tabs->setCurrentWidget(child<QWidget>(w, "tbMdlExample"));
    list->setCurrentRow(10);
    QCOMPARE(tabs->currentIndex(), 0);
}

void TestMainWindow::selectAllAndNoneLeaveViewAlone()
{
    MainWindow w;
    QListWidget* list = child<QListWidget>(w, "lstwgtModules");
    QTabWidget* tabs = child<QTabWidget>(w, "tabwgtMdl");
    list->setCurrentRow(2);
    tabs->setCurrentWidget(child<QWidget>(w, "tbMdlSettings_Prompt"));
    const QString html = child<QTextEdit>(w, "txtedtMdlInfo")->toHtml();

    child<QPushButton>(w, "btnLibMdlSelectAll")->click();
    for (int r = 1; r < 14; ++r)
        QCOMPARE(list->item(r)->checkState(), Qt::Checked);
    for (int r : {0, 14, 15, 16})
        QVERIFY(!list->item(r)->data(Qt::CheckStateRole).isValid());
    child<QPushButton>(w, "btnLibMdlSelectNone")->click();
    for (int r = 1; r < 14; ++r)
        QCOMPARE(list->item(r)->checkState(), Qt::Unchecked);

    QCOMPARE(list->currentRow(), 2);
    QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tbMdlSettings_Prompt"));
    QCOMPARE(visibleTabTitles(w), (QStringList{QStringLiteral("Module Info"), QStringLiteral("Settings [Prompt]")}));
    QCOMPARE(child<QTextEdit>(w, "txtedtMdlInfo")->toHtml(), html);
}

void TestMainWindow::projectHostReadsTheWidgets()
{
    MainWindow w;
    ProjectHost& host = w;
    child<QLineEdit>(w, "lnedtProjectPath")->setText(QStringLiteral("/tmp/some project"));
    QCOMPARE(host.projectPath(), QStringLiteral("/tmp/some project"));
    host.setProjectPath(QStringLiteral("/elsewhere"));
    QCOMPARE(child<QLineEdit>(w, "lnedtProjectPath")->text(), QStringLiteral("/elsewhere"));

    QVERIFY(host.isCSelected() && !host.isCppSelected() && !host.isArduinoTicked());
    host.selectLanguage(true);
    QVERIFY(!host.isCSelected() && host.isCppSelected() && host.isArduinoTicked());
    QVERIFY(!child<QCheckBox>(w, "optProjectIsArduino")->isHidden());
    host.setArduinoTicked(false);
    QVERIFY(!child<QCheckBox>(w, "optProjectIsArduino")->isChecked());
    host.selectLanguage(false);
    QVERIFY(host.isCSelected() && !host.isCppSelected() && !host.isArduinoTicked());
    QVERIFY(child<QCheckBox>(w, "optProjectIsArduino")->isHidden());

    VelkorMdl* pin = w.moduleById(QStringLiteral("Pin"));
    QVERIFY(!host.isModuleChecked(pin));
    host.setModuleChecked(pin, true);
    QCOMPARE(child<QListWidget>(w, "lstwgtModules")->item(4)->checkState(), Qt::Checked);
    QVERIFY(host.isModuleChecked(pin));
}

void TestMainWindow::windowIconHoldsAllSizes()
{
    QImageReader reader(QStringLiteral(":/ico/resources/ico/code_radio.ico"));
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QList<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        sizes << image.width();
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, (QList<int>{16, 24, 32, 48, 64, 128, 256}));
}

void TestMainWindow::buttonsCarryTheirIcons()
{
    MainWindow w;
    const QList<QPair<const char*, const char*>> buttons = {
        {"btnProjectNew", "document"},   {"btnProjectOpen", "folder-horizontal-open"},
        {"btnProjectSave", "disk"},      {"btnProjectSaveAs", "disk--plus"},
        {"btnAbout", "information"},     {"btnGenerateCode", "gear"},
    };
    for (const auto& b : buttons) {
        QPushButton* button = child<QPushButton>(w, b.first);
        const QIcon icon = button->icon();
        const QImage file(QStringLiteral(":/ico/resources/ico/%1.png").arg(QLatin1String(b.second)));
        QVERIFY2(!icon.isNull(), b.first);
        QCOMPARE(button->iconSize(), file.size()); // drawn at its own size, not scaled
        QCOMPARE(QImage(QStringLiteral(":/ico/resources/ico/%1@2x.png").arg(QLatin1String(b.second))).size(),
                 file.size() * 2);
        QVERIFY2(icon.pixmap(file.size()).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
                     file.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 b.first);
        // On a 200 % screen QIcon takes the @2x file next to the normal one.
        if (qApp->devicePixelRatio() >= 2)
            QVERIFY2(icon.availableSizes().contains(file.size() * 2), b.first);
    }
    QListWidgetItem* startRow = child<QListWidget>(w, "lstwgtModules")->item(0);
    QVERIFY(startRow->icon().pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
            QImage(QStringLiteral(":/ico/resources/ico/information.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

// The About box names the program and its credits, and its links open in the browser.
void TestMainWindow::aboutDialogAsDesigned()
{
    MainWindow w;
    AboutWindow about(&w);
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(about.windowModality(), Qt::WindowModal);
    QCOMPARE(child<QLabel>(about, "label")->text(), QStringLiteral("Velkor Code Generator"));
    QVERIFY(child<QLabel>(about, "label_4")->text().contains(QLatin1String("Tango")));
    for (const char* link : {"label_3", "label_5"}) {
        QLabel* label = child<QLabel>(about, link);
        QVERIFY2(label->openExternalLinks(), link);
        QVERIFY2(label->text().contains(QLatin1String("<a href=\"http")), link);
    }
    QVERIFY(child<QLabel>(about, "label_5")->text().contains(QLatin1String("tango.freedesktop.org")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
