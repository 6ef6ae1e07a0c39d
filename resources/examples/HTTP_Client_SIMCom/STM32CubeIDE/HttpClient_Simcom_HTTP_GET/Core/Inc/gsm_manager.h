#ifndef INC_GSM_MANAGER_H_
#define INC_GSM_MANAGER_H_

////////////
// --- Includes ---
////////////
#include <stdint.h>
#include <stdbool.h>
#include "Velkor/GSM_Power.h"
#include "Velkor/GSM_Prompt.h"
#include "Velkor/GSM_BasicComms.h"
#include "Velkor/GSM_NetworkRegistration.h"
#include "Velkor/GSM_HttpClient_Simcom.h"
// USER CODE BEGIN Includes
#include "main.h"
// USER CODE END Includes

////////////
// --- Exported Variables ---
////////////
// USER CODE BEGIN Exported Variables

// USER CODE END Exported Variables

////////////
// --- Function Prototypes ---
////////////
extern void gsmmgrInit();
extern void gsmmgrPoll();

// Power Convenience Functions
extern bool gsmmgrPowerGet();
extern void gsmmgrPowerSet(bool powered_on);
extern void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms);

// BasicComms Convenience Functions
extern bool gsmmgrBasicCommsCommunicationEstablished();

// Network Registration Convenience Functions
extern bool gsmmgrNetworkRegistrationIsRegistered();

// HTTP Client (SIMCom) Convenience Functions
extern bool gsmmgrHttpClientSimcomGet(char* url);
extern bool gsmmgrHttpClientSimcomPost(char* url, char* postData);
extern void gsmmgrHttpClientSimcomPostSetContentType(char* contentTypeOrNullForDefault);
extern bool gsmmgrHttpClientSimcomHttpOperationPending();
extern bool gsmmgrHttpClientSimcomHttpOperationStarted();
extern bool gsmmgrHttpClientSimcomCancel();
extern void gsmmgrHttpClientSimcomHttpTermWhenDone(bool termWhenDone);
extern void gsmmgrHttpClientSimcomSetTimeouts(uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms);

// USER CODE BEGIN Function Prototypes

// Debug output of the example: queued in the Start module's debug buffer and sent by gsmmgrPoll().
extern void gsmDebugWrite(uint8_t _data);
extern void gsmDebugWriteText(char* text);
extern void appDebugWriteInt(int32_t value);
extern void appDebugWriteChars(const char* data, uint16_t length);
extern bool appInternetConnected(void);
// USER CODE END Function Prototypes

////////////
// --- Miscellaneous ---
////////////
// USER CODE BEGIN Miscellaneous

// USER CODE END Miscellaneous

#endif /* INC_GSM_MANAGER_H_ */
