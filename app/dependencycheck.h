#ifndef DEPENDENCYCHECK_H
#define DEPENDENCYCHECK_H

#include <QString>
#include <QStringList>

class ProjectHost;

// Completes a module selection: ticks every module that a ticked module builds on, and reports the
// two situations that ticking alone cannot settle (both internet connections chosen; an HTTP client
// without any internet connection, for which the LTE connection is chosen as a default).
//
// It works on a ProjectHost, so the window and the command-line front end share it. It only ever
// adds ticks; it never unticks anything and changes nothing but tick states.
class DependencyCheck
{
public:
    // Both internet connection modules are ticked.
    static QString messageBothInternetConnections();
    // The HTTP client is ticked without an internet connection module; LTE was ticked for it.
    static QString messageNoInternetConnection();

    // Applies the rules once, in their fixed order, to the Start module plus the ticked modules,
    // ticks every module of the resulting list and returns the messages (none, one or both, in the
    // order above).
    static QStringList run(ProjectHost& host);
};

#endif // DEPENDENCYCHECK_H
