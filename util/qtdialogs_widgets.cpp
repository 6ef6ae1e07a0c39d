#include "qtdialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "util.h"

namespace
{
QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon)
    {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void QtDialogs::message(Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok);
    box.exec();
}

bool QtDialogs::askYesNo(Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::choose(const QString& title, const QString& text, const QStringList& buttons, Icon icon)
{
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(toQt(icon));
    QList<QAbstractButton*> added;
    for (const QString& label : buttons)
        added.append(box.addButton(label, QMessageBox::ActionRole));
    box.exec();
    const int index = added.indexOf(box.clickedButton());
    return index >= 0 ? buttons.at(index) : QString();
}

QString QtDialogs::chooseFolder(Owner owner)
{
    QWidget* parent = owner == Owner::MainWindow ? mMainWindow.data() : nullptr;
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Select Folder"), QString(),
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}
