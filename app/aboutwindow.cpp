#include "aboutwindow.h"

#include <QMessageBox>

#include "ui_aboutwindow.h"

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent), ui(new Ui::AboutWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

AboutWindow::~AboutWindow() { delete ui; }

// Qt's own standard box; it has no place in the program's dialog seam, which carries the program's
// messages and questions.
void AboutWindow::on_btnAboutQt_clicked() { QMessageBox::aboutQt(nullptr, QStringLiteral("About Qt")); }
