#include "mainwindow.h"
#include "usercodemerge.h"

// Preserving the USER CODE regions of an existing manager file; the merge itself is UserCodeMerge.

void MainWindow::initializeUserCodeRegexPatterns()
{
    mUserCodeRegexPatterns.clear();
    mUserCodeRegexPatterns = UserCodeMerge::compilePatterns();
}

bool MainWindow::handleExtractAndSaveUserCodeFile(const QString& filePath, QString& generatedText,
                                                  const QString& pristineText)
{
    initializeUserCodeRegexPatterns();
    return UserCodeMerge::extractAndSave(filePath, generatedText, isCppSelected(), mUserCodeRegexPatterns,
                                         pristineText);
}
