#include "velkormdl_networkregistration.h"

VelkorMdl_NetworkRegistration::VelkorMdl_NetworkRegistration(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_NetworkRegistration::id() { return QStringLiteral("NetworkRegistration"); }
