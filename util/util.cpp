#include "util.h"

// Placeholder bodies; the file utilities replace them.
Util::Util() {}
void Util::prependStringToString(QString* target, QString prefix) { target->prepend(prefix); }
QString Util::resourceText(QString) { return QString(); }
bool Util::downloadResourceFile(QString, QString) { return false; }
bool Util::DirClean(QString, QString) { return false; }
bool Util::readFileContentsToString(QString, QString*) { return false; }
bool Util::saveStringToFileDirectory(QString, QString*) { return false; }
bool Util::readFilePrependStringListAndWriteFile(QString, QString, QStringList) { return false; }
bool Util::extractZippedFile(QString, QString) { return false; }
