#include "velkormdl_http_client_simcom.h"

VelkorMdl_Http_Client_SIMCom::VelkorMdl_Http_Client_SIMCom(QObject* parent) : VelkorMdl(parent) {}

QString VelkorMdl_Http_Client_SIMCom::id() { return QStringLiteral("HTTP_Client_SIMCom"); }
