/** @file
  The per-module part of the framework's generated AutoGen.c, for our IA32
  builds: the library constructors the module's libraries need, then the
  module's entry point as its .inf names it (ENTRY_POINT, passed in by the
  build as MODULE_ENTRY_POINT). PeimEntryPoint's _ModuleEntryPoint, the
  image's entry, calls these two. Not a module source: a framework workspace
  generates its own.
**/
#include <PiPei.h>
#include <Library/SerialPortLib.h>

#ifndef MODULE_ENTRY_POINT
  #error "MODULE_ENTRY_POINT: the ENTRY_POINT of the module's .inf is set by the build"
#endif

EFI_STATUS
EFIAPI
MODULE_ENTRY_POINT (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

VOID
EFIAPI
ProcessLibraryConstructorList (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  (VOID)FileHandle;
  (VOID)PeiServices;

  //
  // DebugLib's serial-port constructor: every module sets up the port it
  // writes to, as the framework's serial DebugLib does.
  //
  SerialPortInitialize ();
}

EFI_STATUS
EFIAPI
ProcessModuleEntryPointList (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  return MODULE_ENTRY_POINT (FileHandle, PeiServices);
}
