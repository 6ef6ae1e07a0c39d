#ifndef GENERATOR_H
#define GENERATOR_H

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

class ProjectHost;
class VelkorMdl;

// The "Generate Code" run over a ProjectHost: validates the project folder, saves the project
// settings, completes the module selection, writes LICENSE.txt, builds gsm_manager.h and
// gsm_manager.c / gsm_manager.cpp from the templates and the modules' fragments, carries the user's
// USER CODE regions over, offers to remove files and folders of another output flavour and writes the
// library files. Every question and message goes through Dialogs::current(); the run never touches a
// widget, so the window, tests and a command-line front end drive the same code.
//
// The steps that the window exposes as operations of its own (saving the settings, the dependency
// check, the user code merge, the library writer) are virtual, so the window can route them through
// its own operations; the defaults do the same work headlessly.
class Generator
{
public:
    enum class Flavour
    {
        C,       // gsm_manager.c, library in "Velkor", C linkage lines removed
        Cpp,     // gsm_manager.cpp, library in "Velkor"
        Arduino  // gsm_manager.cpp, library in "src/Velkor"
    };

    // The two finished manager texts of one run.
    struct ManagerTexts
    {
        QString header;
        QString source;
    };

    explicit Generator(ProjectHost& host);
    virtual ~Generator() = default;

    // The whole run. True after "Code generated successfully."; false when it stopped after a box.
    bool run();

    // The flavour the host's language options select (C whenever C++ is not selected).
    static Flavour flavourOf(const ProjectHost& host);
    // "Velkor", or "src/Velkor" for Arduino.
    static QString libraryFolder(Flavour flavour);
    // "gsm_manager.c" for C, "gsm_manager.cpp" otherwise.
    static QString managerSourceName(Flavour flavour);

    // Builds both manager texts for `modules` (the Start module first) from the embedded templates:
    // the notice and one line end, then the template with its placeholders filled in one pass from
    // the modules' fragments; for C the C linkage lines are removed. Reads no project files.
    static ManagerTexts buildManagerTexts(const QList<VelkorMdl*>& modules, Flavour flavour,
                                          const QString& notice);
    // The same from given template texts (header: %1 includes, %2 prototypes; source: %1 to %8).
    static ManagerTexts buildManagerTexts(const QList<VelkorMdl*>& modules, Flavour flavour, const QString& notice,
                                          const QString& headerTemplate, const QString& sourceTemplate);

    // What writing one manager file would do, worked out without writing anything.
    struct FilePreview
    {
        QString readPath;            // the existing file whose USER CODE is carried over, or empty
        QString outputPath;          // where the text goes
        QString text;                // the text that would be written (merged when readPath is set)
        QStringList droppedRegions;  // USER CODE regions of readPath that the new text has no place for
        bool readFailed = false;     // readPath exists but could not be read (the run would stop)
    };
    // The header (`existingPath` = <project>/gsm_manager.h) or the source (`existingPath` = the
    // gsm_manager.c or .cpp that the run would read; empty when neither exists) with its new text.
    // `pristineText`: the same file's text with every module (see UserCodeMerge::merge).
    static FilePreview previewFile(const QString& existingPath, const QString& newText, const QString& newPath,
                                   bool cpp, const QString& pristineText = QString());
    // The manager texts with every module of the host ticked and its present options: the regions
    // hold the generator's own text, against which a region that would be dropped is compared.
    static ManagerTexts pristineTexts(ProjectHost& host, Flavour flavour);

    // Deletes every "extern "C" {" line with the white space after it and every "} // extern "C""
    // line with the white space before it, from the source text first, then from the header text.
    static void removeCLinkage(ManagerTexts& texts);

protected:
    // Step hooks; the defaults work on the host alone.
    virtual bool saveSettings();
    virtual QStringList checkDependencies();
    virtual bool extractAndSaveUserCode(const QString& filePath, QString& generatedText);
    virtual bool writeLibraryFiles(const QString& libraryFolder, const QDir& projectFolder,
                                   const QList<VelkorMdl*>& modules);

    // The pristine text (pristineTexts) of the manager file `filePath`: the header's for a ".h" file,
    // else the source's. Empty before run() has built the texts.
    QString pristineTextFor(const QString& filePath) const;

    ProjectHost& mHost;

private:
    ManagerTexts mPristine;
    bool writeNewFile(const QString& path, const QString& text);
    // False (after a "Write Error" box) when an existing manager file that this run replaces, or the
    // library folder, cannot be written: checked before any code is written.
    bool targetsWritable(const QDir& projectFolder) const;
    bool writeHeader(const QDir& projectFolder, QString& header);
    bool writeSource(const QDir& projectFolder, QString& source);
    void offerStaleManagerFiles(const QDir& projectFolder);
    void offerStaleFolder(const QDir& projectFolder, Flavour flavour);
};

#endif // GENERATOR_H
