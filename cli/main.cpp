// velkor-codegen: the command-line front end of the Velkor Code Generator, for scripts and CI. It
// drives the same generation, dependency check and export code as the window, without any widget.

#include <QCoreApplication>

#include "commands.h"
#include "velkorconstants.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velkor-codegen"));
    QCoreApplication::setApplicationVersion(Velkor::version());
    return Commands::run(QCoreApplication::arguments().mid(1));
}
