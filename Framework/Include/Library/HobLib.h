/** @file
  HobLib: walk the HOB list and build GUID HOBs.
**/
#ifndef __HOB_LIB_H__
#define __HOB_LIB_H__

#define GET_HOB_TYPE(HobStart)    ((*(EFI_HOB_GENERIC_HEADER **)&(HobStart))->HobType)
#define GET_HOB_LENGTH(HobStart)  ((*(EFI_HOB_GENERIC_HEADER **)&(HobStart))->HobLength)
#define GET_NEXT_HOB(HobStart)    (VOID *)(*(UINT8 **)&(HobStart) + GET_HOB_LENGTH (HobStart))
#define END_OF_HOB_LIST(HobStart) (GET_HOB_TYPE (HobStart) == (UINT16)EFI_HOB_TYPE_END_OF_HOB_LIST)
#define GET_GUID_HOB_DATA(HobStart) \
  (VOID *)(*(UINT8 **)&(HobStart) + sizeof (EFI_HOB_GUID_TYPE))
#define GET_GUID_HOB_DATA_SIZE(HobStart) \
  (UINT16)(GET_HOB_LENGTH (HobStart) - sizeof (EFI_HOB_GUID_TYPE))

VOID *
EFIAPI
GetHobList (
  VOID
  );

VOID *
EFIAPI
GetNextHob (
  IN UINT16      Type,
  IN CONST VOID  *HobStart
  );

VOID *
EFIAPI
GetFirstHob (
  IN UINT16  Type
  );

VOID *
EFIAPI
GetNextGuidHob (
  IN CONST EFI_GUID  *Guid,
  IN CONST VOID      *HobStart
  );

VOID *
EFIAPI
GetFirstGuidHob (
  IN CONST EFI_GUID  *Guid
  );

VOID *
EFIAPI
BuildGuidHob (
  IN CONST EFI_GUID  *Guid,
  IN UINTN           DataLength
  );

VOID *
EFIAPI
BuildGuidDataHob (
  IN CONST EFI_GUID  *Guid,
  IN VOID            *Data,
  IN UINTN           DataLength
  );

#endif
