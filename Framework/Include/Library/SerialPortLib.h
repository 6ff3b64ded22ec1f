/** @file
  SerialPortLib: where DebugLib's text goes.
**/
#ifndef __SERIAL_PORT_LIB_H__
#define __SERIAL_PORT_LIB_H__

RETURN_STATUS
EFIAPI
SerialPortInitialize (
  VOID
  );

UINTN
EFIAPI
SerialPortWrite (
  IN UINT8  *Buffer,
  IN UINTN  NumberOfBytes
  );

#endif
