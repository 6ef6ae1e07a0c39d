#ifndef CLIDIALOGS_H
#define CLIDIALOGS_H

#include <QString>
#include <QStringList>

#include "dialogs.h"

// Standard output and standard error of the command-line front end, written through as UTF-8 and
// flushed at once so that the two streams interleave in the order things happened.
namespace Console
{
void out(const QString& text);
void err(const QString& text);
} // namespace Console

// The dialog seam of the command-line front end: every box the shared generation and export code
// shows is printed in the window's own words (errors and warnings on standard error, notices on
// standard output), and every question is answered from the command-line flags.
class CliDialogs final : public Dialogs
{
public:
    struct Answers
    {
        bool deleteStale = false; // "Remove File?" questions: --delete-stale / --keep-stale
        QString sourceFile;       // "Select Input File": "gsm_manager.c" or "gsm_manager.cpp"; empty cancels
        QString connection;       // "LTE or 2G": "SIMCom LTE" or "SIMCom 2G"
        QString backupFolder;     // user code that would be dropped: back it up here; empty answers No
        QString folder;           // every other folder chooser (the export destination)
    };

    explicit CliDialogs(Answers answers) : mAnswers(std::move(answers)) {}

    // While generating on a scratch copy (--dry-run), texts mention the copy's paths: show the
    // project's own paths instead. Pairs are applied in the order given.
    void addPathMapping(const QString& from, const QString& to) { mMappings.append({from, to}); }
    // Notices (information boxes and answered questions) are not printed while quiet; errors are.
    void setQuiet(bool quiet) { mQuiet = quiet; }

    // The title and text of the last critical box, empty when none was shown.
    QString lastCriticalTitle() const { return mLastCriticalTitle; }
    QString lastCriticalText() const { return mLastCriticalText; }
    // Whether any critical box was shown (a run can report a failure and still go on to the end).
    bool anyCritical() const { return !mLastCriticalTitle.isEmpty(); }

    void message(Icon icon, const QString& title, const QString& text) override;
    bool askYesNo(Icon icon, const QString& title, const QString& text) override;
    QString choose(const QString& title, const QString& text, const QStringList& buttons, Icon icon) override;
    QString chooseFolder(Owner owner) override;

private:
    QString mapped(QString text) const;
    void notice(const QString& text) const;

    struct Mapping
    {
        QString from;
        QString to;
    };
    Answers mAnswers;
    QList<Mapping> mMappings;
    bool mQuiet = false;
    bool mAskedForBackup = false;
    QString mLastCriticalTitle;
    QString mLastCriticalText;
};

#endif // CLIDIALOGS_H
