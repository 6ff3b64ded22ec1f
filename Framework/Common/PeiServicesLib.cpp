/** @file
  PeiServicesLib: each service called through the table that
  PeiServicesTablePointerLib keeps.
**/
extern "C" {
#include <PiPei.h>
#include <Library/PeiServicesLib.h>
#include <Library/PeiServicesTablePointerLib.h>
}

extern "C" EFI_STATUS
EFIAPI
PeiServicesInstallPpi (
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *PpiList
  )
{
  CONST EFI_PEI_SERVICES  **PeiServices = GetPeiServicesTablePointer ();

  return (*PeiServices)->InstallPpi (PeiServices, PpiList);
}

extern "C" EFI_STATUS
EFIAPI
PeiServicesLocatePpi (
  IN CONST EFI_GUID              *Guid,
  IN UINTN                       Instance,
  IN OUT EFI_PEI_PPI_DESCRIPTOR  **PpiDescriptor OPTIONAL,
  IN OUT VOID                    **Ppi
  )
{
  CONST EFI_PEI_SERVICES  **PeiServices = GetPeiServicesTablePointer ();

  return (*PeiServices)->LocatePpi (PeiServices, Guid, Instance, PpiDescriptor, Ppi);
}

extern "C" EFI_STATUS
EFIAPI
PeiServicesGetHobList (
  OUT VOID  **HobList
  )
{
  CONST EFI_PEI_SERVICES  **PeiServices = GetPeiServicesTablePointer ();

  return (*PeiServices)->GetHobList (PeiServices, HobList);
}

extern "C" EFI_STATUS
EFIAPI
PeiServicesCreateHob (
  IN UINT16  Type,
  IN UINT16  Length,
  OUT VOID   **Hob
  )
{
  CONST EFI_PEI_SERVICES  **PeiServices = GetPeiServicesTablePointer ();

  return (*PeiServices)->CreateHob (PeiServices, Type, Length, Hob);
}

extern "C" EFI_STATUS
EFIAPI
PeiServicesAllocatePool (
  IN UINTN  Size,
  OUT VOID  **Buffer
  )
{
  CONST EFI_PEI_SERVICES  **PeiServices = GetPeiServicesTablePointer ();

  return (*PeiServices)->AllocatePool (PeiServices, Size, Buffer);
}
