/** @file
  IoLib for IA32: volatile 32-bit MMIO and the in/out instructions.

  Each access is a single load, store, in or out of the stated width, issued
  in program order, so that register side effects (read-to-clear,
  write-to-start, index/data pairs) happen exactly once and in order.
**/
extern "C" {
#include <Base.h>
#include <Library/IoLib.h>
}

extern "C" UINT8
EFIAPI
IoRead8 (
  IN UINTN  Port
  )
{
  UINT8  Value;

  __asm__ __volatile__ ("inb %w1, %b0" : "=a" (Value) : "Nd" ((UINT16)Port) : "memory");
  return Value;
}

extern "C" UINT8
EFIAPI
IoWrite8 (
  IN UINTN  Port,
  IN UINT8  Value
  )
{
  __asm__ __volatile__ ("outb %b0, %w1" : : "a" (Value), "Nd" ((UINT16)Port) : "memory");
  return Value;
}

extern "C" UINT32
EFIAPI
MmioRead32 (
  IN UINTN  Address
  )
{
  return *(volatile UINT32 *)Address;
}

extern "C" UINT32
EFIAPI
MmioWrite32 (
  IN UINTN   Address,
  IN UINT32  Value
  )
{
  *(volatile UINT32 *)Address = Value;
  return Value;
}
