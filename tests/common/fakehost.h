#ifndef FAKEHOST_H
#define FAKEHOST_H

#include <QSet>
#include <QString>

#include "projecthost.h"
#include "velkormodules.h"

// A ProjectHost over a plain VelkorModules record, for tests that drive the headless logic without a
// window. The language fields mirror the window's options: `c` and `cpp` are the two radio buttons
// (both may be off), `arduino` the Arduino box and `arduinoVisible` whether the window would show it.
class FakeHost final : public ProjectHost
{
public:
    VelkorModules modules;
    QString path;
    bool c = true;
    bool cpp = false;
    bool arduino = false;
    bool arduinoVisible = false;
    QSet<VelkorMdl*> checked;
    int applyCount = 0; // how often applySettingsFromModules() was called

    QString projectPath() const override { return path; }
    void setProjectPath(const QString& p) override { path = p; }
    bool isCSelected() const override { return c; }
    bool isCppSelected() const override { return cpp; }
    bool isArduinoTicked() const override { return arduino; }
    void setArduinoTicked(bool ticked) override { arduino = ticked; }
    void selectLanguage(bool selectCpp) override
    {
        c = !selectCpp;
        cpp = selectCpp;
        arduino = selectCpp;
        arduinoVisible = selectCpp;
    }
    QList<VelkorMdl*> allModules() const override { return modules.all(); }
    bool isModuleChecked(VelkorMdl* module) const override { return checked.contains(module); }
    void setModuleChecked(VelkorMdl* module, bool on) override
    {
        if (module == &modules.gettingStarted || !modules.all().contains(module))
            return;
        if (on)
            checked.insert(module);
        else
            checked.remove(module);
    }
    void applySettingsFromModules() override { ++applyCount; }

    // Convenience for tests: C, C++ or Arduino output.
    void setFlavour(const QString& flavour)
    {
        selectLanguage(flavour != QLatin1String("C"));
        arduino = flavour == QLatin1String("Arduino");
    }
    void tick(std::initializer_list<VelkorMdl*> list)
    {
        for (VelkorMdl* m : list)
            setModuleChecked(m, true);
    }
};

#endif // FAKEHOST_H
