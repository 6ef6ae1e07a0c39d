#include "dialogs.h"

namespace
{
// Answers nothing and shows nothing: used only until a real implementation is installed.
class SilentDialogs final : public Dialogs
{
public:
    void message(Icon, const QString&, const QString&) override {}
    bool askYesNo(Icon, const QString&, const QString&) override { return false; }
    QString choose(const QString&, const QString&, const QStringList&, Icon) override { return QString(); }
    QString chooseFolder(Owner) override { return QString(); }
};

SilentDialogs gSilent;
Dialogs* gCurrent = &gSilent;
} // namespace

Dialogs& Dialogs::current()
{
    return *gCurrent;
}

Dialogs* Dialogs::install(Dialogs* dialogs)
{
    Dialogs* previous = gCurrent;
    gCurrent = dialogs ? dialogs : &gSilent;
    return previous;
}
