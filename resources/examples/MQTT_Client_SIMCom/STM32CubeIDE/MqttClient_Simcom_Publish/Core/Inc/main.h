/* USER CODE BEGIN Header */
/**
  ******************************************************************************
  * @file           : main.h
  * @brief          : Header for main.c file.
  *                   Velkor example "MqttClient_Simcom_Publish" for the NUCLEO-F401RE board.
  ******************************************************************************
  */
/* USER CODE END Header */

/* Define to prevent recursive inclusion -------------------------------------*/
#ifndef __MAIN_H
#define __MAIN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Includes ------------------------------------------------------------------*/
#include "stm32f4xx_hal.h"

/* Private includes ----------------------------------------------------------*/
/* USER CODE BEGIN Includes */
#include <stdbool.h>
#include <stdint.h>
/* USER CODE END Includes */

/* Exported types ------------------------------------------------------------*/
/* USER CODE BEGIN ET */

/* USER CODE END ET */

/* Exported constants --------------------------------------------------------*/
/* USER CODE BEGIN EC */

/* USER CODE END EC */

/* Exported macro ------------------------------------------------------------*/
/* USER CODE BEGIN EM */

/* USER CODE END EM */

/* Exported functions prototypes ---------------------------------------------*/
void Error_Handler(void);

/* USER CODE BEGIN EFP */

/* USER CODE END EFP */

/* Private defines -----------------------------------------------------------*/
#define USART_TX_Pin GPIO_PIN_2
#define USART_TX_GPIO_Port GPIOA
#define USART_RX_Pin GPIO_PIN_3
#define USART_RX_GPIO_Port GPIOA
#define LD2_Pin GPIO_PIN_5
#define LD2_GPIO_Port GPIOA
#define GSM_TX_Pin GPIO_PIN_9
#define GSM_TX_GPIO_Port GPIOA
#define GSM_RX_Pin GPIO_PIN_10
#define GSM_RX_GPIO_Port GPIOA
#define GSM_STATUS_Pin GPIO_PIN_4
#define GSM_STATUS_GPIO_Port GPIOB
#define GSM_PWRKEY_Pin GPIO_PIN_5
#define GSM_PWRKEY_GPIO_Port GPIOB

/* USER CODE BEGIN Private defines */
/* Wiring (NUCLEO-F401RE, Arduino header names in brackets):
 *   USART1 TX PA9 [D8]  -> modem RXD      USART1 RX PA10 [D2] <- modem TXD
 *   GSM_PWRKEY PB5 [D4] -> PWRKEY driver   GSM_STATUS PB4 [D5] <- modem STATUS
 *   USART2 (PA2/PA3) is the ST-LINK virtual COM port: debug output at 115200 baud.
 * Use level shifters where the modem's UART and STATUS levels differ from 3.3 V.
 * A RESET line is optional: tick the Power module's reset option and add a GSM_RESET output. */
#define GSM_PWRKEY_PRESSED_STATE GPIO_PIN_SET    /* level that presses the key (PWRKEY pulled low by a transistor) */
#define GSM_PWRKEY_RELEASED_STATE GPIO_PIN_RESET
#define GSM_STATUS_ON_STATE GPIO_PIN_SET         /* STATUS level while the modem runs */

extern UART_HandleTypeDef huart1; /* modem */
extern UART_HandleTypeDef huart2; /* debug output */

/* Settings of the example */
#define APP_APN "internet" /* access point name of your SIM's operator (NULL if none is needed) */
#define APP_MQTT_SERVER "tcp://test.mosquitto.org:1883" /* broker address */
#define APP_MQTT_CLIENT_ID "velkor-example-pub" /* client identifier (unique per device on the broker) */
#define APP_MQTT_TOPIC "velkor/example" /* topic */
#define APP_PUBLISH_PERIOD_MS 30000u /* time between two messages */
/* USER CODE END Private defines */

#ifdef __cplusplus
}
#endif

#endif /* __MAIN_H */
