#include "velkormdl_rssi.h"

VelkorMdl_Rssi::VelkorMdl_Rssi(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Rssi::id() { return QStringLiteral("RSSI"); }
