#ifndef SCRIPTEDDIALOGS_H
#define SCRIPTEDDIALOGS_H

#include <QQueue>
#include <QString>
#include <QStringList>
#include <QVector>

#include "dialogs.h"

// A Dialogs implementation for tests: records every box and chooser the program shows and answers
// from a script, without any modal loop. Install it for the length of a test with ScopedDialogs.
//
// Answers are consumed in order. A question (askYesNo) with no scripted answer is answered No, a
// choice with none returns an empty string, a folder chooser with none is cancelled.
class ScriptedDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "message", "yesno", "choose", "folder"
        Icon icon = Icon::NoIcon;
        QString title;
        QString text;
        QStringList buttons;
        Owner owner = Owner::NoParent;
    };

    QVector<Shown> shown;
    QQueue<bool> yesNoAnswers;
    QQueue<QString> choiceAnswers;
    QQueue<QString> folderAnswers;

    void message(Icon icon, const QString& title, const QString& text) override
    {
        shown.append({QStringLiteral("message"), icon, title, text, {}, Owner::NoParent});
    }
    bool askYesNo(Icon icon, const QString& title, const QString& text) override
    {
        shown.append({QStringLiteral("yesno"), icon, title, text, {}, Owner::NoParent});
        return yesNoAnswers.isEmpty() ? false : yesNoAnswers.dequeue();
    }
    QString choose(const QString& title, const QString& text, const QStringList& buttons, Icon icon) override
    {
        shown.append({QStringLiteral("choose"), icon, title, text, buttons, Owner::NoParent});
        return choiceAnswers.isEmpty() ? QString() : choiceAnswers.dequeue();
    }
    QString chooseFolder(Owner owner) override
    {
        shown.append({QStringLiteral("folder"), Icon::NoIcon, QStringLiteral("Select Folder"), QString(), {}, owner});
        return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
    }

    // Titles of everything shown, in order: a compact thing to compare in tests.
    QStringList titles() const
    {
        QStringList list;
        for (const Shown& s : shown)
            list << s.title;
        return list;
    }
    void clear()
    {
        shown.clear();
        yesNoAnswers.clear();
        choiceAnswers.clear();
        folderAnswers.clear();
    }
};

// Installs a ScriptedDialogs for the lifetime of this object and restores the previous one after.
class ScopedDialogs
{
public:
    ScopedDialogs() : mPrevious(Dialogs::install(&dialogs)) {}
    ~ScopedDialogs() { Dialogs::install(mPrevious); }
    ScriptedDialogs dialogs;

private:
    Dialogs* mPrevious;
};

#endif // SCRIPTEDDIALOGS_H
