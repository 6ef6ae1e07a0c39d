#include <QApplication>
#include <QIcon>

#include "mainwindow.h"
#include "qtdialogs.h"

int main(int argc, char* argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication a(argc, argv);
    a.setWindowIcon(QIcon(QStringLiteral(":/ico/resources/ico/code_radio.ico")));

    QtDialogs dialogs;
    Dialogs::install(&dialogs);

    MainWindow w;
    dialogs.setMainWindow(&w);
    w.show();
    const int result = a.exec();
    Dialogs::install(nullptr);
    return result;
}
