/** @file
  PeimEntryPoint: _ModuleEntryPoint, the entry of every PEIM image. The PEI
  Foundation calls it with the file handle and the services table; it runs
  the library constructors and then the module's entry point, both of which
  the build generates per module (AutoGen).
**/
extern "C" {
#include <PiPei.h>

VOID
EFIAPI
ProcessLibraryConstructorList (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

EFI_STATUS
EFIAPI
ProcessModuleEntryPointList (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );
}

extern "C" EFI_STATUS
EFIAPI
_ModuleEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  ProcessLibraryConstructorList (FileHandle, PeiServices);
  return ProcessModuleEntryPointList (FileHandle, PeiServices);
}
