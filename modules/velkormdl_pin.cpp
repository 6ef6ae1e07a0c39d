#include "velkormdl_pin.h"

VelkorMdl_Pin::VelkorMdl_Pin(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Pin::id() { return QStringLiteral("Pin"); }
