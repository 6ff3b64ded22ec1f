/** @file
  PeiServicesLib: the PEI services, called through the table pointer.
**/
#ifndef __PEI_SERVICES_LIB_H__
#define __PEI_SERVICES_LIB_H__

EFI_STATUS
EFIAPI
PeiServicesInstallPpi (
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *PpiList
  );

EFI_STATUS
EFIAPI
PeiServicesLocatePpi (
  IN CONST EFI_GUID                 *Guid,
  IN UINTN                          Instance,
  IN OUT EFI_PEI_PPI_DESCRIPTOR     **PpiDescriptor OPTIONAL,
  IN OUT VOID                       **Ppi
  );

EFI_STATUS
EFIAPI
PeiServicesGetHobList (
  OUT VOID  **HobList
  );

EFI_STATUS
EFIAPI
PeiServicesCreateHob (
  IN UINT16  Type,
  IN UINT16  Length,
  OUT VOID   **Hob
  );

EFI_STATUS
EFIAPI
PeiServicesAllocatePool (
  IN UINTN  Size,
  OUT VOID  **Buffer
  );

#endif
