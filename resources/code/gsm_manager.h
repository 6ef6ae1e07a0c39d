#ifndef INC_GSM_MANAGER_H_
#define INC_GSM_MANAGER_H_

////////////
// --- Includes ---
////////////
#include <stdint.h>
#include <stdbool.h>
extern "C" {
%1
} // extern "C"
// USER CODE BEGIN Includes

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
%2
// USER CODE BEGIN Function Prototypes

// USER CODE END Function Prototypes

////////////
// --- Miscellaneous ---
////////////
// USER CODE BEGIN Miscellaneous

// USER CODE END Miscellaneous

#endif /* INC_GSM_MANAGER_H_ */
