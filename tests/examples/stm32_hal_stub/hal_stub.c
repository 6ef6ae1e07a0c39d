/*
 * hal_stub.c - empty bodies for the HAL functions declared in stm32f4xx_hal.h, so that the
 * STM32CubeIDE examples can be linked on the build machine: the link shows that every function the
 * example and the library call is defined, and gives the size of the example without the HAL.
 * Nothing here runs.
 */
#include "stm32f4xx_hal.h"

static volatile uint32_t stubTick;

HAL_StatusTypeDef HAL_Init(void) { return HAL_OK; }
void HAL_IncTick(void) { stubTick++; }
uint32_t HAL_GetTick(void) { return stubTick; }
void HAL_Delay(uint32_t Delay) { (void)Delay; }
void HAL_NVIC_SetPriorityGrouping(uint32_t PriorityGroup) { (void)PriorityGroup; }
void HAL_NVIC_SetPriority(IRQn_Type IRQn, uint32_t PreemptPriority, uint32_t SubPriority)
{
    (void)IRQn;
    (void)PreemptPriority;
    (void)SubPriority;
}
void HAL_NVIC_EnableIRQ(IRQn_Type IRQn) { (void)IRQn; }
void HAL_GPIO_Init(GPIO_TypeDef* GPIOx, GPIO_InitTypeDef* GPIO_Init)
{
    (void)GPIOx;
    (void)GPIO_Init;
}
GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin)
{
    (void)GPIOx;
    (void)GPIO_Pin;
    return GPIO_PIN_RESET;
}
void HAL_GPIO_WritePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState)
{
    (void)GPIOx;
    (void)GPIO_Pin;
    (void)PinState;
}
void HAL_GPIO_TogglePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin)
{
    (void)GPIOx;
    (void)GPIO_Pin;
}
HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* RCC_OscInitStruct)
{
    (void)RCC_OscInitStruct;
    return HAL_OK;
}
HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t FLatency)
{
    (void)RCC_ClkInitStruct;
    (void)FLatency;
    return HAL_OK;
}
void hal_stub_clock_enable(uint32_t which) { (void)which; }
HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef* hdma)
{
    (void)hdma;
    return HAL_OK;
}
void HAL_DMA_IRQHandler(DMA_HandleTypeDef* hdma) { (void)hdma; }
HAL_StatusTypeDef HAL_UART_Init(UART_HandleTypeDef* huart)
{
    HAL_UART_MspInit(huart);
    return HAL_OK;
}
HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size, uint32_t Timeout)
{
    (void)huart;
    (void)pData;
    (void)Size;
    (void)Timeout;
    return HAL_OK;
}
HAL_StatusTypeDef HAL_UART_Transmit_DMA(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size)
{
    (void)huart;
    (void)pData;
    (void)Size;
    return HAL_OK;
}
HAL_StatusTypeDef HAL_UART_Receive_DMA(UART_HandleTypeDef* huart, uint8_t* pData, uint16_t Size)
{
    (void)huart;
    (void)pData;
    (void)Size;
    return HAL_OK;
}
HAL_StatusTypeDef HAL_UART_AbortTransmit(UART_HandleTypeDef* huart)
{
    (void)huart;
    return HAL_OK;
}
void HAL_UART_IRQHandler(UART_HandleTypeDef* huart) { (void)huart; }
