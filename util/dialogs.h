#ifndef DIALOGS_H
#define DIALOGS_H

#include <QString>
#include <QStringList>

// The one place through which the program asks the user something or tells them something.
//
// Every message box, button choice and folder chooser goes through the installed Dialogs object.
// The window installs QtDialogs (real modal Qt dialogs); tests install a scripted implementation
// that records what was shown and answers from a script; the command-line front end installs one
// that turns questions into the answers given by its flags. Logic that needs no widgets (generation,
// project files, export) therefore never touches a widget itself.
class Dialogs
{
public:
    enum class Icon
    {
        NoIcon,
        Information,
        Warning,
        Critical,
        Question
    };

    // Who a folder chooser belongs to: the main window, or no window at all.
    enum class Owner
    {
        MainWindow,
        NoParent
    };

    virtual ~Dialogs() = default;

    // A modal box without parent window and a single OK button.
    virtual void message(Icon icon, const QString& title, const QString& text) = 0;

    // A modal box without parent window and the buttons Yes and No; true when Yes was pressed.
    virtual bool askYesNo(Icon icon, const QString& title, const QString& text) = 0;

    // A modal box with free button texts (all in the action role): the text of the pressed
    // button, or an empty string when none of them was pressed.
    virtual QString choose(const QString& title, const QString& text, const QStringList& buttons, Icon icon) = 0;

    // A directory chooser titled "Select Folder", no start folder, folders only, symbolic links
    // not resolved. Returns the chosen folder, or an empty string when it was cancelled.
    virtual QString chooseFolder(Owner owner) = 0;

    // Shortcuts for the message kinds the program uses.
    void critical(const QString& title, const QString& text) { message(Icon::Critical, title, text); }
    void information(const QString& title, const QString& text) { message(Icon::Information, title, text); }
    void warning(const QString& title, const QString& text) { message(Icon::Warning, title, text); }

    // The installed implementation. Never null once the program (or a test) has installed one;
    // before that, a silent implementation answers No / empty to everything.
    static Dialogs& current();
    // Installs `dialogs` (not owned) and returns the previously installed one.
    static Dialogs* install(Dialogs* dialogs);
};

#endif // DIALOGS_H
