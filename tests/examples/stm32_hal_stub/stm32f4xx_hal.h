/*
 * stm32f4xx_hal.h - declarations of the STM32F4 HAL that the STM32CubeIDE examples use, for a
 * compile check of the examples' Core sources without the STM32Cube firmware package.
 *
 * Names, types and signatures follow the STM32F4xx HAL driver (stm32f4xx_hal_uart.h,
 * stm32f4xx_hal_dma.h, stm32f4xx_hal_gpio.h, stm32f4xx_hal_rcc.h, stm32f4xx_hal_cortex.h and the
 * CMSIS device header). Only declarations: the check compiles, it does not link. Register layouts
 * are reduced to the members the examples reach; constants carry the HAL's values where the
 * examples depend on them.
 */
#ifndef STM32F4XX_HAL_STUB_H
#define STM32F4XX_HAL_STUB_H

#include <stddef.h>
#include <stdint.h>

#define __IO volatile

/* ---- CMSIS core ---- */
typedef enum
{
    NonMaskableInt_IRQn = -14,
    SysTick_IRQn = -1,
    DMA1_Stream6_IRQn = 17,
    USART1_IRQn = 37,
    USART2_IRQn = 38,
    DMA2_Stream2_IRQn = 58,
    DMA2_Stream7_IRQn = 70
} IRQn_Type;

static inline void __disable_irq(void) { __asm volatile("cpsid i" : : : "memory"); }
static inline void __enable_irq(void) { __asm volatile("cpsie i" : : : "memory"); }

/* ---- Device registers (reduced) ---- */
typedef struct { __IO uint32_t MODER, OTYPER, OSPEEDR, PUPDR, IDR, ODR, BSRR, LCKR, AFR[2]; } GPIO_TypeDef;
typedef struct { __IO uint32_t SR, DR, BRR, CR1, CR2, CR3, GTPR; } USART_TypeDef;
typedef struct { __IO uint32_t CR, NDTR, PAR, M0AR, M1AR, FCR; } DMA_Stream_TypeDef;

#define PERIPH_BASE 0x40000000UL
#define GPIOA ((GPIO_TypeDef*)(PERIPH_BASE + 0x00020000UL))
#define GPIOB ((GPIO_TypeDef*)(PERIPH_BASE + 0x00020400UL))
#define GPIOC ((GPIO_TypeDef*)(PERIPH_BASE + 0x00020800UL))
#define GPIOH ((GPIO_TypeDef*)(PERIPH_BASE + 0x00021C00UL))
#define USART1 ((USART_TypeDef*)(PERIPH_BASE + 0x00011000UL))
#define USART2 ((USART_TypeDef*)(PERIPH_BASE + 0x00004400UL))
#define DMA1_Stream6 ((DMA_Stream_TypeDef*)(PERIPH_BASE + 0x000260A0UL))
#define DMA2_Stream2 ((DMA_Stream_TypeDef*)(PERIPH_BASE + 0x00026440UL))
#define DMA2_Stream7 ((DMA_Stream_TypeDef*)(PERIPH_BASE + 0x000264B8UL))

/* ---- HAL common ---- */
typedef enum
{
    HAL_OK = 0x00U,
    HAL_ERROR = 0x01U,
    HAL_BUSY = 0x02U,
    HAL_TIMEOUT = 0x03U
} HAL_StatusTypeDef;

typedef enum
{
    HAL_UNLOCKED = 0x00U,
    HAL_LOCKED = 0x01U
} HAL_LockTypeDef;

HAL_StatusTypeDef HAL_Init(void);
void HAL_IncTick(void);
uint32_t HAL_GetTick(void);
void HAL_Delay(uint32_t Delay);
void HAL_MspInit(void);

/* ---- Cortex ---- */
#define NVIC_PRIORITYGROUP_4 0x00000003U
void HAL_NVIC_SetPriorityGrouping(uint32_t PriorityGroup);
void HAL_NVIC_SetPriority(IRQn_Type IRQn, uint32_t PreemptPriority, uint32_t SubPriority);
void HAL_NVIC_EnableIRQ(IRQn_Type IRQn);

/* ---- GPIO ---- */
typedef enum
{
    GPIO_PIN_RESET = 0,
    GPIO_PIN_SET
} GPIO_PinState;

typedef struct
{
    uint32_t Pin;
    uint32_t Mode;
    uint32_t Pull;
    uint32_t Speed;
    uint32_t Alternate;
} GPIO_InitTypeDef;

#define GPIO_PIN_2 ((uint16_t)0x0004)
#define GPIO_PIN_3 ((uint16_t)0x0008)
#define GPIO_PIN_4 ((uint16_t)0x0010)
#define GPIO_PIN_5 ((uint16_t)0x0020)
#define GPIO_PIN_9 ((uint16_t)0x0200)
#define GPIO_PIN_10 ((uint16_t)0x0400)
#define GPIO_PIN_13 ((uint16_t)0x2000)
#define GPIO_MODE_INPUT 0x00000000U
#define GPIO_MODE_OUTPUT_PP 0x00000001U
#define GPIO_MODE_AF_PP 0x00000002U
#define GPIO_NOPULL 0x00000000U
#define GPIO_PULLUP 0x00000001U
#define GPIO_PULLDOWN 0x00000002U
#define GPIO_SPEED_FREQ_LOW 0x00000000U
#define GPIO_SPEED_FREQ_VERY_HIGH 0x00000003U
#define GPIO_AF7_USART1 ((uint8_t)0x07)
#define GPIO_AF7_USART2 ((uint8_t)0x07)

void HAL_GPIO_Init(GPIO_TypeDef* GPIOx, GPIO_InitTypeDef* GPIO_Init);
GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void HAL_GPIO_WritePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState);
void HAL_GPIO_TogglePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);

/* ---- RCC / PWR / FLASH ---- */
typedef struct
{
    uint32_t PLLState;
    uint32_t PLLSource;
    uint32_t PLLM;
    uint32_t PLLN;
    uint32_t PLLP;
    uint32_t PLLQ;
} RCC_PLLInitTypeDef;

typedef struct
{
    uint32_t OscillatorType;
    uint32_t HSEState;
    uint32_t LSEState;
    uint32_t HSIState;
    uint32_t HSICalibrationValue;
    uint32_t LSIState;
    RCC_PLLInitTypeDef PLL;
} RCC_OscInitTypeDef;

typedef struct
{
    uint32_t ClockType;
    uint32_t SYSCLKSource;
    uint32_t AHBCLKDivider;
    uint32_t APB1CLKDivider;
    uint32_t APB2CLKDivider;
} RCC_ClkInitTypeDef;

#define RCC_OSCILLATORTYPE_HSI 0x00000002U
#define RCC_HSI_ON ((uint8_t)0x01)
#define RCC_HSICALIBRATION_DEFAULT 0x10U
#define RCC_PLL_ON ((uint8_t)0x02)
#define RCC_PLLSOURCE_HSI 0x00000000U
#define RCC_PLLP_DIV4 0x00000004U
#define RCC_CLOCKTYPE_SYSCLK 0x00000001U
#define RCC_CLOCKTYPE_HCLK 0x00000002U
#define RCC_CLOCKTYPE_PCLK1 0x00000004U
#define RCC_CLOCKTYPE_PCLK2 0x00000008U
#define RCC_SYSCLKSOURCE_PLLCLK 0x00000002U
#define RCC_SYSCLK_DIV1 0x00000000U
#define RCC_HCLK_DIV1 0x00000000U
#define RCC_HCLK_DIV2 0x00001000U
#define FLASH_LATENCY_2 0x00000002U
#define PWR_REGULATOR_VOLTAGE_SCALE2 0x00008000U

HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* RCC_OscInitStruct);
HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t FLatency);

/* The clock enable macros of the HAL set a bit and read it back; here they only mark the call. */
void hal_stub_clock_enable(uint32_t which);
#define __HAL_RCC_PWR_CLK_ENABLE() hal_stub_clock_enable(1U)
#define __HAL_RCC_SYSCFG_CLK_ENABLE() hal_stub_clock_enable(2U)
#define __HAL_RCC_GPIOA_CLK_ENABLE() hal_stub_clock_enable(3U)
#define __HAL_RCC_GPIOB_CLK_ENABLE() hal_stub_clock_enable(4U)
#define __HAL_RCC_GPIOC_CLK_ENABLE() hal_stub_clock_enable(5U)
#define __HAL_RCC_GPIOH_CLK_ENABLE() hal_stub_clock_enable(6U)
#define __HAL_RCC_DMA1_CLK_ENABLE() hal_stub_clock_enable(7U)
#define __HAL_RCC_DMA2_CLK_ENABLE() hal_stub_clock_enable(8U)
#define __HAL_RCC_USART1_CLK_ENABLE() hal_stub_clock_enable(9U)
#define __HAL_RCC_USART2_CLK_ENABLE() hal_stub_clock_enable(10U)
#define __HAL_PWR_VOLTAGESCALING_CONFIG(__REGULATOR__) hal_stub_clock_enable((uint32_t)(__REGULATOR__))

/* ---- DMA ---- */
typedef enum
{
    HAL_DMA_STATE_RESET = 0x00U,
    HAL_DMA_STATE_READY = 0x01U,
    HAL_DMA_STATE_BUSY = 0x02U
} HAL_DMA_StateTypeDef;

typedef struct
{
    uint32_t Channel;
    uint32_t Direction;
    uint32_t PeriphInc;
    uint32_t MemInc;
    uint32_t PeriphDataAlignment;
    uint32_t MemDataAlignment;
    uint32_t Mode;
    uint32_t Priority;
    uint32_t FIFOMode;
    uint32_t FIFOThreshold;
    uint32_t MemBurst;
    uint32_t PeriphBurst;
} DMA_InitTypeDef;

typedef struct __DMA_HandleTypeDef
{
    DMA_Stream_TypeDef* Instance;
    DMA_InitTypeDef Init;
    HAL_LockTypeDef Lock;
    __IO HAL_DMA_StateTypeDef State;
    void* Parent;
    __IO uint32_t ErrorCode;
} DMA_HandleTypeDef;

#define DMA_CHANNEL_4 0x08000000U
#define DMA_PERIPH_TO_MEMORY 0x00000000U
#define DMA_MEMORY_TO_PERIPH 0x00000040U
#define DMA_PINC_DISABLE 0x00000000U
#define DMA_MINC_ENABLE 0x00000400U
#define DMA_PDATAALIGN_BYTE 0x00000000U
#define DMA_MDATAALIGN_BYTE 0x00000000U
#define DMA_NORMAL 0x00000000U
#define DMA_CIRCULAR 0x00000100U
#define DMA_PRIORITY_LOW 0x00000000U
#define DMA_PRIORITY_HIGH 0x00020000U
#define DMA_FIFOMODE_DISABLE 0x00000000U

HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef* hdma);
void HAL_DMA_IRQHandler(DMA_HandleTypeDef* hdma);

/* Number of data items the stream has still to transfer (NDTR). */
#define __HAL_DMA_GET_COUNTER(__HANDLE__) ((__HANDLE__)->Instance->NDTR)

#define __HAL_LINKDMA(__HANDLE__, __PPP_DMA_FIELD__, __DMA_HANDLE__) \
    do                                                                \
    {                                                                 \
        (__HANDLE__)->__PPP_DMA_FIELD__ = &(__DMA_HANDLE__);          \
        (__DMA_HANDLE__).Parent = (__HANDLE__);                       \
    } while (0U)

/* ---- UART ---- */
typedef enum
{
    HAL_UART_STATE_RESET = 0x00U,
    HAL_UART_STATE_READY = 0x20U,
    HAL_UART_STATE_BUSY = 0x24U,
    HAL_UART_STATE_BUSY_TX = 0x21U,
    HAL_UART_STATE_BUSY_RX = 0x22U,
    HAL_UART_STATE_BUSY_TX_RX = 0x23U,
    HAL_UART_STATE_TIMEOUT = 0xA0U,
    HAL_UART_STATE_ERROR = 0xE0U
} HAL_UART_StateTypeDef;

typedef struct
{
    uint32_t BaudRate;
    uint32_t WordLength;
    uint32_t StopBits;
    uint32_t Parity;
    uint32_t Mode;
    uint32_t HwFlowCtl;
    uint32_t OverSampling;
} UART_InitTypeDef;

typedef struct __UART_HandleTypeDef
{
    USART_TypeDef* Instance;
    UART_InitTypeDef Init;
    const uint8_t* pTxBuffPtr;
    uint16_t TxXferSize;
    __IO uint16_t TxXferCount;
    uint8_t* pRxBuffPtr;
    uint16_t RxXferSize;
    __IO uint16_t RxXferCount;
    DMA_HandleTypeDef* hdmatx;
    DMA_HandleTypeDef* hdmarx;
    HAL_LockTypeDef Lock;
    __IO HAL_UART_StateTypeDef gState;
    __IO HAL_UART_StateTypeDef RxState;
    __IO uint32_t ErrorCode;
} UART_HandleTypeDef;

#define UART_WORDLENGTH_8B 0x00000000U
#define UART_STOPBITS_1 0x00000000U
#define UART_PARITY_NONE 0x00000000U
#define UART_MODE_TX_RX 0x0000000CU
#define UART_HWCONTROL_NONE 0x00000000U
#define UART_OVERSAMPLING_16 0x00000000U

HAL_StatusTypeDef HAL_UART_Init(UART_HandleTypeDef* huart);
void HAL_UART_MspInit(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_UART_Transmit_DMA(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size);
HAL_StatusTypeDef HAL_UART_Receive_DMA(UART_HandleTypeDef* huart, uint8_t* pData, uint16_t Size);
HAL_StatusTypeDef HAL_UART_AbortTransmit(UART_HandleTypeDef* huart);
void HAL_UART_IRQHandler(UART_HandleTypeDef* huart);
void HAL_UART_TxCpltCallback(UART_HandleTypeDef* huart);
void HAL_UART_ErrorCallback(UART_HandleTypeDef* huart);

#endif /* STM32F4XX_HAL_STUB_H */
