#include "velkormdl_sms_read.h"

VelkorMdl_Sms_Read::VelkorMdl_Sms_Read(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Sms_Read::id() { return QStringLiteral("SMS_Read"); }
