#include "velkormdl_sms_send.h"

VelkorMdl_Sms_Send::VelkorMdl_Sms_Send(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Sms_Send::id() { return QStringLiteral("SMS_Send"); }
