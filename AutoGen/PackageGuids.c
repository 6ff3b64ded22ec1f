/** @file
  GUIDs of this package and of the framework PPIs it uses, defined once for
  our own builds. In a framework workspace the build generates these from the
  package declaration; this file plays that part here and is not a module
  source.
**/
#include <PiPei.h>

const EFI_GUID  gTarvo3ZorPpiGuid = { 0x67AC7C94, 0x3DD6, 0x4518, { 0x9E, 0x89, 0x9C, 0x37, 0xA3, 0x05, 0x1A, 0x3C } };
