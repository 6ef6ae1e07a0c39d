#ifndef EXAMPLEEXPORT_H
#define EXAMPLEEXPORT_H

#include <QString>

class ProjectHost;
class VelkorMdl;

// The "Download Example" and "Download User Manual" commands without any widget: the project is
// seen through ProjectHost, every question and message goes through the dialog seam, so the window,
// the tests and a command-line front end share one implementation.
class ExampleExport
{
public:
    // How a run of downloadExample ended.
    enum class Result
    {
        NothingSelected,  // no module given: nothing was changed
        Cancelled,        // the folder chooser was cancelled: only the module ticks changed
        ExtractFailed,    // "Download Error" shown
        LicenceFailed,    // "Licensing Error" shown
        LibraryFailed,    // writing the library files of an example failed (and was reported)
        Incomplete,       // some files of the archive could not be written: "Download Error" shown
        Downloaded        // "Example Downloaded" shown
    };

    // `generatedFileNotice` is the notice comment put in front of the library files and of the
    // examples' manager and main files.
    ExampleExport(ProjectHost& host, QString generatedFileNotice);

    // Where the example archives are looked for: the embedded ":/examples/resources/examples/" by
    // default. The archive of a module is this folder + its identifier + ".zip".
    void setArchiveFolder(const QString& folder);
    QString archivePath(const QString& moduleId) const;
    // The embedded user manual, and the file name it is exported under.
    static QString userManualResource();
    static QString userManualFileName();

    // Download Example for `selected` (the module of the current list row; null does nothing):
    // ticks exactly the example's modules (for the HTTP client asking whether the 2G or the LTE
    // connection is wanted), asks for a folder, unpacks the module's archive there, adds the
    // licence, completes every Arduino and STM32CubeIDE example project with the library files
    // and puts the notice in front of their manager and main files.
    Result downloadExample(VelkorMdl* selected);

    // Download User Manual: asks for a folder and copies the manual there byte for byte. Returns
    // the path written, or an empty string when the chooser was cancelled or the copy failed (then
    // after a "Download Error" box).
    static QString downloadUserManual();

private:
    ProjectHost& mHost;
    QString mGeneratedFileNotice;
    QString mArchiveFolder;
};

#endif // EXAMPLEEXPORT_H
