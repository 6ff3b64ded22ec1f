/** @file
  BaseMemoryLib: byte loops, the same on every target.
**/
extern "C" {
#include <Base.h>
#include <Library/BaseMemoryLib.h>
}

extern "C" VOID *
EFIAPI
CopyMem (
  OUT VOID       *DestinationBuffer,
  IN CONST VOID  *SourceBuffer,
  IN UINTN       Length
  )
{
  volatile UINT8  *Destination = (volatile UINT8 *)DestinationBuffer;
  CONST UINT8     *Source      = (CONST UINT8 *)SourceBuffer;

  //
  // Copy backwards when the destination overlaps the end of the source.
  //
  if ((Destination > Source) && (Destination < Source + Length)) {
    while (Length-- > 0) {
      Destination[Length] = Source[Length];
    }
  } else {
    for (UINTN Index = 0; Index < Length; Index++) {
      Destination[Index] = Source[Index];
    }
  }

  return DestinationBuffer;
}

extern "C" VOID *
EFIAPI
SetMem (
  OUT VOID  *Buffer,
  IN UINTN  Length,
  IN UINT8  Value
  )
{
  volatile UINT8  *Bytes = (volatile UINT8 *)Buffer;

  for (UINTN Index = 0; Index < Length; Index++) {
    Bytes[Index] = Value;
  }

  return Buffer;
}

extern "C" VOID *
EFIAPI
ZeroMem (
  OUT VOID  *Buffer,
  IN UINTN  Length
  )
{
  return SetMem (Buffer, Length, 0);
}

extern "C" INTN
EFIAPI
CompareMem (
  IN CONST VOID  *DestinationBuffer,
  IN CONST VOID  *SourceBuffer,
  IN UINTN       Length
  )
{
  CONST UINT8  *Left  = (CONST UINT8 *)DestinationBuffer;
  CONST UINT8  *Right = (CONST UINT8 *)SourceBuffer;

  for (UINTN Index = 0; Index < Length; Index++) {
    if (Left[Index] != Right[Index]) {
      return (INTN)Left[Index] - (INTN)Right[Index];
    }
  }

  return 0;
}

extern "C" BOOLEAN
EFIAPI
CompareGuid (
  IN CONST GUID  *Guid1,
  IN CONST GUID  *Guid2
  )
{
  return CompareMem (Guid1, Guid2, sizeof (GUID)) == 0 ? TRUE : FALSE;
}
