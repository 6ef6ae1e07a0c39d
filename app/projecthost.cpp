#include "projecthost.h"

#include "velkormdl.h"

VelkorMdl* ProjectHost::moduleById(const QString& id) const
{
    for (VelkorMdl* module : allModules())
        if (module->id() == id)
            return module;
    return nullptr;
}
