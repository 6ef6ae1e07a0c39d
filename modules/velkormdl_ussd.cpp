#include "velkormdl_ussd.h"

VelkorMdl_Ussd::VelkorMdl_Ussd(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Ussd::id() { return QStringLiteral("USSD"); }
