#ifndef QTDIALOGS_H
#define QTDIALOGS_H

#include <QPointer>
#include <QWidget>

#include "dialogs.h"

// The real dialogs: modal Qt message boxes without parent window, and the "Select Folder" directory
// chooser (parented to the main window where the command says so).
class QtDialogs final : public Dialogs
{
public:
    void setMainWindow(QWidget* window) { mMainWindow = window; }

    void message(Icon icon, const QString& title, const QString& text) override;
    bool askYesNo(Icon icon, const QString& title, const QString& text) override;
    QString choose(const QString& title, const QString& text, const QStringList& buttons, Icon icon) override;
    QString chooseFolder(Owner owner) override;

private:
    QPointer<QWidget> mMainWindow;
};

#endif // QTDIALOGS_H
