#include "mainwindow.h"

void MainWindow::initializeUserCodeRegexPatterns() {}
bool MainWindow::handleExtractAndSaveUserCodeFile(const QString&, QString&) { return false; }
