#ifndef PROJECTHOST_H
#define PROJECTHOST_H

#include <QList>
#include <QString>

class VelkorMdl;

// What the generation, project-file and export logic needs to know about the project that is being
// worked on, and the few changes it makes to it. The main window implements it over its widgets
// (the widgets are the project state there); the command-line front end implements it over a plain
// record read from the project settings file. The logic itself never touches a widget.
class ProjectHost
{
public:
    virtual ~ProjectHost() = default;

    // The project folder as the user gave it (the text of the project path box).
    virtual QString projectPath() const = 0;
    virtual void setProjectPath(const QString& path) = 0;

    // The language: the "C" and "C++" choices (neither may be selected) and the Arduino layout box.
    virtual bool isCSelected() const = 0;
    virtual bool isCppSelected() const = 0;
    virtual bool isArduinoTicked() const = 0;
    virtual void setArduinoTicked(bool ticked) = 0;
    // Selects C (Arduino box unticked and hidden) or C++ (Arduino box shown and ticked).
    virtual void selectLanguage(bool cpp) = 0;

    // The fourteen module objects in registry order (the Start module first).
    virtual QList<VelkorMdl*> allModules() const = 0;
    // Tick state of a module's row; the Start module is never ticked and cannot be ticked.
    virtual bool isModuleChecked(VelkorMdl* module) const = 0;
    virtual void setModuleChecked(VelkorMdl* module, bool checked) = 0;

    // Called after module options were changed in the module objects (project New or Open), so
    // that whatever mirrors them (the settings panels) can follow.
    virtual void applySettingsFromModules() = 0;

    // The Start module first, always, then every ticked module in registry order.
    QList<VelkorMdl*> checkedModules() const
    {
        const QList<VelkorMdl*> all = allModules();
        QList<VelkorMdl*> list;
        for (int i = 0; i < all.size(); ++i)
            if (i == 0 || isModuleChecked(all[i]))
                list.append(all[i]);
        return list;
    }

    // The first module in registry order whose id() equals `id`, or null.
    VelkorMdl* moduleById(const QString& id) const;
};

#endif // PROJECTHOST_H
