/** @file
  IoLib: single accesses to memory-mapped registers and I/O ports.
**/
#ifndef __IO_LIB_H__
#define __IO_LIB_H__

UINT8
EFIAPI
IoRead8 (
  IN UINTN  Port
  );

UINT8
EFIAPI
IoWrite8 (
  IN UINTN  Port,
  IN UINT8  Value
  );

UINT32
EFIAPI
MmioRead32 (
  IN UINTN  Address
  );

UINT32
EFIAPI
MmioWrite32 (
  IN UINTN   Address,
  IN UINT32  Value
  );

#endif
