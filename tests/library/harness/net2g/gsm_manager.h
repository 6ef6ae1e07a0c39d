/*
 * Test wiring laid out like the generated manager header (C output) with the modules Power, Prompt,
 * Basic Comms, Network Registration, Internet Connection (SIMCom 2G) and HTTP Client ticked (no LTE
 * connection: the HTTP wiring names the LTE instance, which the 2G header maps onto its own). A generated gsm_manager.h can take its place.
 */
#ifndef INC_GSM_MANAGER_H_
#define INC_GSM_MANAGER_H_

#include <stdint.h>
#include <stdbool.h>
#include "GSM_Power.h"
#include "GSM_Prompt.h"
#include "GSM_BasicComms.h"
#include "GSM_NetworkRegistration.h"
#include "GSM_InternetConnection_Simcom2G.h"
#include "GSM_HttpClient_Simcom.h"

extern void gsmmgrInit();
extern void gsmmgrPoll();

// Internet Connection (SIMCom 2G) Convenience Functions
extern bool gsmmgrInternetConnectionSimcom2GIsConnected();

// HTTP Client (SIMCom) Convenience Functions
extern bool gsmmgrHttpClientSimcomGet(char* url);
extern bool gsmmgrHttpClientSimcomPost(char* url, char* postData);
extern void gsmmgrHttpClientSimcomPostSetContentType(char* contentTypeOrNullForDefault);
extern bool gsmmgrHttpClientSimcomHttpOperationPending();
extern bool gsmmgrHttpClientSimcomHttpOperationStarted();
extern bool gsmmgrHttpClientSimcomCancel();
extern void gsmmgrHttpClientSimcomHttpTermWhenDone(bool termWhenDone);
extern void gsmmgrHttpClientSimcomSetTimeouts(uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms);

#endif /* INC_GSM_MANAGER_H_ */
