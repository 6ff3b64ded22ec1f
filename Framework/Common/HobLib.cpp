/** @file
  HobLib for PEI: walks the HOB list that the PEI Foundation keeps and builds
  GUID HOBs with the CreateHob service.
**/
extern "C" {
#include <PiPei.h>
#include <Library/BaseMemoryLib.h>
#include <Library/HobLib.h>
#include <Library/PeiServicesLib.h>
}

extern "C" VOID *
EFIAPI
GetHobList (
  VOID
  )
{
  VOID  *HobList = NULL;

  if (EFI_ERROR (PeiServicesGetHobList (&HobList))) {
    return NULL;
  }

  return HobList;
}

extern "C" VOID *
EFIAPI
GetNextHob (
  IN UINT16      Type,
  IN CONST VOID  *HobStart
  )
{
  EFI_PEI_HOB_POINTERS  Hob;

  Hob.Raw = (UINT8 *)HobStart;
  if (Hob.Raw == NULL) {
    return NULL;
  }

  while (!END_OF_HOB_LIST (Hob)) {
    if (Hob.Header->HobType == Type) {
      return Hob.Raw;
    }

    Hob.Raw = (UINT8 *)GET_NEXT_HOB (Hob);
  }

  return NULL;
}

extern "C" VOID *
EFIAPI
GetFirstHob (
  IN UINT16  Type
  )
{
  return GetNextHob (Type, GetHobList ());
}

extern "C" VOID *
EFIAPI
GetNextGuidHob (
  IN CONST EFI_GUID  *Guid,
  IN CONST VOID      *HobStart
  )
{
  EFI_PEI_HOB_POINTERS  GuidHob;

  GuidHob.Raw = (UINT8 *)HobStart;
  while ((GuidHob.Raw = (UINT8 *)GetNextHob (EFI_HOB_TYPE_GUID_EXTENSION, GuidHob.Raw)) != NULL) {
    if (CompareGuid (Guid, &GuidHob.Guid->Name)) {
      break;
    }

    GuidHob.Raw = (UINT8 *)GET_NEXT_HOB (GuidHob);
  }

  return GuidHob.Raw;
}

extern "C" VOID *
EFIAPI
GetFirstGuidHob (
  IN CONST EFI_GUID  *Guid
  )
{
  return GetNextGuidHob (Guid, GetHobList ());
}

extern "C" VOID *
EFIAPI
BuildGuidHob (
  IN CONST EFI_GUID  *Guid,
  IN UINTN           DataLength
  )
{
  EFI_HOB_GUID_TYPE  *Hob;

  //
  // A HOB length is 16 bits and CreateHob rounds it up to a multiple of 8.
  //
  if (DataLength > (0xFFF8 - sizeof (EFI_HOB_GUID_TYPE))) {
    return NULL;
  }

  if (EFI_ERROR (PeiServicesCreateHob (EFI_HOB_TYPE_GUID_EXTENSION, (UINT16)(sizeof (EFI_HOB_GUID_TYPE) + DataLength), (VOID **)&Hob))) {
    return NULL;
  }

  CopyMem (&Hob->Name, Guid, sizeof (EFI_GUID));
  return Hob + 1;
}

extern "C" VOID *
EFIAPI
BuildGuidDataHob (
  IN CONST EFI_GUID  *Guid,
  IN VOID            *Data,
  IN UINTN           DataLength
  )
{
  VOID  *HobData;

  HobData = BuildGuidHob (Guid, DataLength);
  if (HobData == NULL) {
    return NULL;
  }

  return CopyMem (HobData, Data, DataLength);
}
