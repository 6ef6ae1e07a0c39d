#include "clidialogs.h"

#include "dependencycheck.h"

#include <cstdio>

namespace Console
{
namespace
{
void write(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stream);
    std::fflush(stream);
}
} // namespace

void out(const QString& text)
{
    write(stdout, text);
}

void err(const QString& text)
{
    write(stderr, text);
}
} // namespace Console

QString CliDialogs::mapped(QString text) const
{
    for (const Mapping& m : mMappings)
        text.replace(m.from, m.to);
    return text;
}

void CliDialogs::notice(const QString& text) const
{
    if (!mQuiet)
        Console::out(mapped(text));
}

void CliDialogs::message(Icon icon, const QString& title, const QString& text)
{
    switch (icon)
    {
    case Icon::Critical:
        mLastCriticalTitle = title;
        mLastCriticalText = mapped(text);
        Console::err(mapped(title + QStringLiteral(": ") + text));
        // The window keeps the tick it added for the next click; a command-line run keeps nothing.
        if (text.contains(DependencyCheck::messageNoInternetConnection()))
            Console::err(QStringLiteral("(Nothing was selected in the settings file: add \"InternetConnection_SIMCom\" or "
                                        "\"InternetConnection_SIMCom2G\" to \"CheckedModules\", or tick one in the "
                                        "window, and run again.)"));
        break;
    case Icon::Warning:
        Console::err(mapped(title + QStringLiteral(": ") + text));
        break;
    default:
        notice(title + QStringLiteral(": ") + text);
        break;
    }
}

bool CliDialogs::askYesNo(Icon /*icon*/, const QString& title, const QString& text)
{
    if (title == QLatin1String("Remove File?"))
    {
        notice(title + QStringLiteral(" ") + text +
               (mAnswers.deleteStale ? QStringLiteral("\n-> Yes (--delete-stale)")
                                     : QStringLiteral("\n-> No (kept; --delete-stale deletes it)")));
        return mAnswers.deleteStale;
    }
    if (title == QLatin1String("Warning"))
    {
        // USER CODE that the new text has no place for: back the old file up when a folder was given.
        // Without one the front end refuses before this question can come up; should it come up all
        // the same, asking for a backup and choosing no folder stops the run before that file is
        // written, so user code is never dropped without a copy.
        const bool backup = !mAnswers.backupFolder.isEmpty();
        mAskedForBackup = true;
        notice(title + QStringLiteral(": ") + text +
               (backup ? QStringLiteral("\n-> Yes, a copy goes to ") + mAnswers.backupFolder
                       : QStringLiteral("\n-> Yes, but no --backup-dir was given: stop")));
        return true;
    }
    notice(title + QStringLiteral(": ") + text + QStringLiteral("\n-> No"));
    return false;
}

QString CliDialogs::choose(const QString& title, const QString& text, const QStringList& buttons, Icon /*icon*/)
{
    QString answer;
    if (title == QLatin1String("Select Input File"))
        answer = mAnswers.sourceFile;
    else if (title == QLatin1String("LTE or 2G"))
        answer = mAnswers.connection;
    if (!buttons.contains(answer))
        answer.clear();
    notice(title + QStringLiteral(": ") + text + QStringLiteral("\n-> ") +
           (answer.isEmpty() ? QStringLiteral("(none)") : answer));
    return answer;
}

QString CliDialogs::chooseFolder(Owner /*owner*/)
{
    if (mAskedForBackup)
    {
        mAskedForBackup = false;
        return mAnswers.backupFolder;
    }
    return mAnswers.folder;
}
