#include "usercodemerge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include "dialogs.h"
#include "util.h"

namespace UserCodeMerge
{
QStringList regionNames()
{
    return {QStringLiteral("Includes"),
            QStringLiteral("Variables"),
            QStringLiteral("SysTime_ms"),
            QStringLiteral("Init"),
            QStringLiteral("Poll"),
            QStringLiteral("Miscellaneous"),
            QStringLiteral("Exported Variables"),
            QStringLiteral("Function Prototypes"),
            QStringLiteral("gsmHttpClientSimcomEventHandler"),
            QStringLiteral("gsmMqttClientSimcomEventHandler"),
            QStringLiteral("gsmPinEventHandler"),
            QStringLiteral("SetPowerKey"),
            QStringLiteral("SetReset"),
            QStringLiteral("ReadStatus"),
            QStringLiteral("gsmTxPoll"),
            QStringLiteral("gsmWrite"),
            QStringLiteral("gsmWriteCompleted"),
            QStringLiteral("gsmCanRead"),
            QStringLiteral("gsmRead"),
            QStringLiteral("gsmRxPoll"),
            QStringLiteral("gsmSignalQualityEventHandler"),
            QStringLiteral("gsmSmsReadEventHandler"),
            QStringLiteral("gsmSmsSendEventHandler"),
            QStringLiteral("gsmUssdEventHandler"),
            QStringLiteral("gsmGetAPN"),
            QStringLiteral("gsmDebugTxPoll"),
            QStringLiteral("gsmDebugWrite")};
}

QVector<QRegularExpression> compilePatterns()
{
    const QString pattern = QStringLiteral("(//\\s*USER\\s+CODE\\s+BEGIN\\s+%1[\\s\\S]*?//\\s*USER\\s+CODE\\s+END\\s+%1)");
    QVector<QRegularExpression> patterns;
    for (const QString& name : regionNames())
        patterns.append(QRegularExpression(pattern.arg(name)));
    return patterns;
}

namespace
{
const QVector<QRegularExpression>& defaultPatterns()
{
    static const QVector<QRegularExpression> patterns = compilePatterns();
    return patterns;
}
} // namespace

Result merge(const QString& oldText, const QString& newText, const QVector<QRegularExpression>& patterns)
{
    const QVector<QRegularExpression>& list = patterns.isEmpty() ? defaultPatterns() : patterns;
    const QStringList names = regionNames();
    Result result{newText, {}};
    for (int i = 0; i < list.size(); ++i)
    {
        const QRegularExpressionMatch oldMatch = list[i].match(oldText);
        if (!oldMatch.hasMatch())
            continue; // the new text keeps its default region, if it has one
        const QString userRegion = oldMatch.captured(1);
        const QRegularExpressionMatch newMatch = list[i].match(result.text);
        if (!newMatch.hasMatch())
        {
            result.droppedRegions.append(i < names.size() ? names[i] : list[i].pattern());
            continue;
        }
        // Literal, case-sensitive replacement: nothing in the user's text is interpreted.
        result.text.replace(newMatch.captured(1), userRegion, Qt::CaseSensitive);
    }
    return result;
}

QString outputPath(const QString& filePath, bool cpp)
{
    const QFileInfo info(filePath);
    const QString suffix = info.suffix().toLower();
    if (suffix != QLatin1String("c") && suffix != QLatin1String("cpp"))
        return filePath;
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') +
           (cpp ? QStringLiteral("cpp") : QStringLiteral("c"));
}

bool readExisting(const QString& path, ExistingFile* file)
{
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = raw.readAll();
    raw.close();

    // A byte order mark is decoded by the text stream itself; otherwise check whether the bytes are
    // valid in the stream's default encoding.
    QTextCodec* codec = nullptr;
    if (!QTextCodec::codecForUtfText(bytes, nullptr))
    {
        QTextCodec::ConverterState state;
        QTextCodec::codecForLocale()->toUnicode(bytes.constData(), bytes.size(), &state);
        if (state.invalidChars != 0 || state.remainingChars != 0)
            codec = QTextCodec::codecForName("ISO-8859-1");
    }

    QString text;
    if (!Util::readFileContentsToString(path, &text, codec))
        return false;
    file->text = text;
    file->codec = codec;
    return true;
}

namespace
{
// The encoding to write `text` in for a file that was read in `codec`: that encoding when it can
// hold the whole text, otherwise the text stream's default.
QTextCodec* writeCodecFor(QTextCodec* codec, const QString& text)
{
    return codec && codec->canEncode(text) ? codec : nullptr;
}

bool samePath(const QString& a, const QString& b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

// Asks whether to keep a copy of the old text and writes it. False (after a box) when the run must
// stop without writing anything else.
bool offerBackup(const QString& fileName, const ExistingFile& old, const QString& output)
{
    Dialogs& dialogs = Dialogs::current();
    const QString question =
        QStringLiteral("One of the 'USER CODE' sections from ") + fileName +
        QStringLiteral(" is no longer being generated. This can occur when a library module (that was previously "
                       "included) has been removed from the 'Library Modules' list.\n\nWould you like to save a "
                       "copy of your ") +
        fileName + QStringLiteral(" file before continuing?");
    if (!dialogs.askYesNo(Dialogs::Icon::Warning, QStringLiteral("Warning"), question))
        return true; // the dropped regions are given up

    const QString folder = dialogs.chooseFolder(Dialogs::Owner::NoParent);
    if (folder.isEmpty())
    {
        // The user asked for a backup and did not get one: write nothing rather than lose the code.
        dialogs.information(QStringLiteral("Backup Cancelled"),
                            QStringLiteral("No backup folder was chosen, so nothing was written to ") + fileName +
                                QStringLiteral(" and the code generation has stopped.\n\nGenerate the code again "
                                               "and choose a folder for the backup copy, or answer 'No' to continue "
                                               "without one."));
        return false;
    }
    const QString backupPath = folder + QLatin1Char('/') + fileName;
    if (samePath(backupPath, output))
    {
        // A backup in the project folder would be overwritten by the merged file a moment later.
        dialogs.critical(QStringLiteral("Write Error"),
                         QStringLiteral("Unable to use '") + backupPath +
                             QStringLiteral("' as the backup copy: the new ") + fileName +
                             QStringLiteral(" is written to the same file. Please choose another folder for the backup "
                                            "of ") +
                             fileName + QStringLiteral(" and try again."));
        return false;
    }
    QString backupText = old.text;
    if (!Util::saveStringToFileDirectory(backupPath, &backupText, writeCodecFor(old.codec, backupText)))
    {
        dialogs.critical(QStringLiteral("Write Error"),
                         QStringLiteral("Unable to open file '") + backupPath +
                             QStringLiteral("' for writing. Please manually backup ") + fileName +
                             QStringLiteral(" and try again."));
        return false;
    }
    return true;
}
} // namespace

bool extractAndSave(const QString& filePath, QString& generatedText, bool cpp,
                    const QVector<QRegularExpression>& patterns)
{
    Dialogs& dialogs = Dialogs::current();
    ExistingFile old;
    if (!readExisting(filePath, &old))
    {
        dialogs.critical(QStringLiteral("Read Error"),
                         QStringLiteral("Error encountered while trying to save 'USER CODE' sections.\n\nUnable to open "
                                        "file '") +
                             filePath + QStringLiteral("' for reading."));
        return false;
    }

    const Result merged = merge(old.text, generatedText, patterns);
    generatedText = merged.text;
    const QString output = outputPath(filePath, cpp);
    if (!merged.droppedRegions.isEmpty() && !offerBackup(QFileInfo(filePath).fileName(), old, output))
        return false;

    // Written beside the target and renamed over it only when complete: a failure leaves the old file.
    if (!Util::saveStringToFileDirectory(output, &generatedText, writeCodecFor(old.codec, generatedText)))
    {
        dialogs.critical(QStringLiteral("Write Error"),
                         QStringLiteral("Unable to open file '") + output + QStringLiteral("' for writing."));
        return false;
    }
    return true;
}
} // namespace UserCodeMerge
