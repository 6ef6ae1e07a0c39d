#ifndef COMMANDS_H
#define COMMANDS_H

#include <QStringList>

// The commands of velkor-codegen. Each returns the process exit code.
namespace Commands
{
// Exit codes, as documented by --help and in the README.
enum ExitCode
{
    Success = 0,
    Failed = 1,          // a step failed (a write error, say); the message says which
    UsageError = 2,      // bad command line: unknown command or option, missing or bad argument, unknown module id
    ProjectError = 3,    // the project folder does not exist, or its settings file is missing, unreadable or malformed
    DependencyIssue = 4, // the dependency check reported messages: generation does not proceed
    UserCodeAtRisk = 5,  // USER CODE would be dropped and no --backup-dir was given: nothing written
    SourceAmbiguous = 6  // gsm_manager.c and gsm_manager.cpp both exist and no --source was given: nothing written
};

// Runs the command line `arguments` (without the program name).
int run(const QStringList& arguments);

// The --help text.
QString usage();
} // namespace Commands

#endif // COMMANDS_H
