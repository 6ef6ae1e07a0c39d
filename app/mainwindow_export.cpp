#include "mainwindow.h"

#include "exampleexport.h"

// Download Example and Download User Manual. The work is done by ExampleExport over this window's
// ProjectHost; the slots only supply the module of the current list row and the notice header.

void MainWindow::on_btnDownloadExample_clicked()
{
    ExampleExport exporter(*this, mGeneratedFileNotice);
    exporter.downloadExample(guiSelectedModule());
}

void MainWindow::on_btnDownloadUserManual_clicked()
{
    ExampleExport::downloadUserManual();
}
