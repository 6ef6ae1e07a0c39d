// Renders screenshots of the code generator's window for the user manual.
//
//   velkor_manual_shots <output folder>
//
// Run on the offscreen platform. Writes window.png (the window as it starts), window_pin.png (a
// module with its documentation page), window_examples.png (the Example Projects tab) and
// window_prompt.png (a settings tab). A shot whose widgets cannot be found is skipped: the manual
// leaves out any image that is missing.

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>

#include "mainwindow.h"

namespace
{
bool save(QWidget& window, const QString& path)
{
    QApplication::processEvents();
    const QPixmap pixmap = window.grab();
    if (pixmap.isNull() || !pixmap.save(path, "PNG"))
    {
        std::fprintf(stderr, "velkor_manual_shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

void showTab(QTabWidget* tabs, QWidget& window, const char* pageName)
{
    if (QWidget* page = window.findChild<QWidget*>(QLatin1String(pageName)))
        tabs->setCurrentWidget(page);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: velkor_manual_shots <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.absolutePath());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ico/resources/ico/code_radio.ico")));

    MainWindow window;
    window.resize(1231, 631);
    window.show();
    bool ok = save(window, out.filePath(QStringLiteral("window.png")));

    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstwgtModules"));
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabwgtMdl"));
    if (list == nullptr || tabs == nullptr || list->count() < 14)
        return ok ? 0 : 1;

    list->setCurrentRow(4); // Pin: documentation page and the Example Projects tab
    showTab(tabs, window, "tbMdlInfo");
    ok = save(window, out.filePath(QStringLiteral("window_pin.png"))) && ok;
    showTab(tabs, window, "tbMdlExample");
    ok = save(window, out.filePath(QStringLiteral("window_examples.png"))) && ok;

    list->setCurrentRow(2); // Prompt: its settings tab
    showTab(tabs, window, "tbMdlSettings_Prompt");
    ok = save(window, out.filePath(QStringLiteral("window_prompt.png"))) && ok;
    return ok ? 0 : 1;
}
