/** @file
  SerialPortLib for IA32: the PC's first serial port, a 16550 UART at I/O
  port 0x3F8, polled, 115200 baud, 8 data bits, no parity, one stop bit.
  DebugLib's text goes here.
**/
extern "C" {
#include <Base.h>
#include <Library/IoLib.h>
#include <Library/SerialPortLib.h>
}

namespace {

constexpr UINTN  UART_BASE = 0x3F8;

// Register offsets; DLL and DLM replace THR and IER while LCR.DLAB is set.
constexpr UINTN  UART_THR = 0;
constexpr UINTN  UART_DLL = 0;
constexpr UINTN  UART_IER = 1;
constexpr UINTN  UART_DLM = 1;
constexpr UINTN  UART_FCR = 2;
constexpr UINTN  UART_LCR = 3;
constexpr UINTN  UART_MCR = 4;
constexpr UINTN  UART_LSR = 5;

constexpr UINT8  LCR_DLAB       = 0x80;
constexpr UINT8  LCR_8N1        = 0x03;
constexpr UINT8  FCR_FIFO_RESET = 0x07;   // enable, clear receive and transmit FIFOs
constexpr UINT8  MCR_DTR_RTS    = 0x03;
constexpr UINT8  LSR_THRE       = 0x20;   // transmit holding register empty

constexpr UINT32  UART_CLOCK_HZ = 1843200;
constexpr UINT32  BAUD_RATE     = 115200;
constexpr UINT16  DIVISOR       = UART_CLOCK_HZ / (16 * BAUD_RATE);

STATIC_ASSERT (DIVISOR == 1, "115200 baud from the standard 1.8432 MHz clock");

//
// A byte takes about 87 microseconds at 115200 baud; this many status reads
// (each at least a microsecond on the legacy bus) outlast it by far. A port
// that never drains (no UART decoded there, or a stuck one) costs each byte
// this wait, never a hang: debug text must not stop the boot.
//
constexpr UINT32  THRE_POLLS = 0x10000;

}  // namespace

extern "C" RETURN_STATUS
EFIAPI
SerialPortInitialize (
  VOID
  )
{
  IoWrite8 (UART_BASE + UART_LCR, LCR_DLAB);
  IoWrite8 (UART_BASE + UART_DLL, (UINT8)(DIVISOR & 0xFF));
  IoWrite8 (UART_BASE + UART_DLM, (UINT8)(DIVISOR >> 8));
  IoWrite8 (UART_BASE + UART_LCR, LCR_8N1);
  IoWrite8 (UART_BASE + UART_IER, 0);
  IoWrite8 (UART_BASE + UART_FCR, FCR_FIFO_RESET);
  IoWrite8 (UART_BASE + UART_MCR, MCR_DTR_RTS);
  return RETURN_SUCCESS;
}

extern "C" UINTN
EFIAPI
SerialPortWrite (
  IN UINT8  *Buffer,
  IN UINTN  NumberOfBytes
  )
{
  if (Buffer == NULL) {
    return 0;
  }

  for (UINTN Index = 0; Index < NumberOfBytes; Index++) {
    for (UINT32 Poll = 0; Poll < THRE_POLLS; Poll++) {
      if ((IoRead8 (UART_BASE + UART_LSR) & LSR_THRE) != 0) {
        break;
      }
    }

    IoWrite8 (UART_BASE + UART_THR, Buffer[Index]);
  }

  return NumberOfBytes;
}
