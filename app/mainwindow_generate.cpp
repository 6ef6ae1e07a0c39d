#include "mainwindow.h"

// Placeholder bodies, replaced by the project-file and generation commands.

void MainWindow::on_btnProjectSaveAs_clicked()
{
}

void MainWindow::on_btnGenerateCode_clicked()
{
}

void MainWindow::on_btnProjectOpen_clicked()
{
}

void MainWindow::on_btnProjectSave_clicked()
{
}

void MainWindow::on_btnProjectNew_clicked()
{
}

bool MainWindow::settingsSave() { return false; }
bool MainWindow::settingsLoad() { return false; }
bool MainWindow::generateLibraryAndSupportFiles(QString, QString, QString, QDir, QList<VelkorMdl*>) { return false; }
