#include "util.h"

#include "dialogs.h"

namespace
{
Dialogs::Icon fromQt(QMessageBox::Icon icon)
{
    switch (icon)
    {
    case QMessageBox::Information:
        return Dialogs::Icon::Information;
    case QMessageBox::Warning:
        return Dialogs::Icon::Warning;
    case QMessageBox::Critical:
        return Dialogs::Icon::Critical;
    case QMessageBox::Question:
        return Dialogs::Icon::Question;
    case QMessageBox::NoIcon:
        break;
    }
    return Dialogs::Icon::NoIcon;
}
} // namespace

QString Util::CustomMessageBox(const QString& title, const QString& text, const QStringList& buttons,
                               QMessageBox::Icon icon)
{
    return Dialogs::current().choose(title, text, buttons, fromQt(icon));
}
