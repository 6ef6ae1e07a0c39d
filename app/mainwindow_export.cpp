#include "mainwindow.h"

// Placeholder bodies, replaced by the example and manual export commands.

void MainWindow::on_btnDownloadExample_clicked()
{
}

void MainWindow::on_btnDownloadUserManual_clicked()
{
}

