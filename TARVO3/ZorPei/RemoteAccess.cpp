/** @file
  Remote access enabling: chip check, register tables, DRAM bring-up, routes and protocol-engine start.
**/
#include "ZorPei.h"

UINT32
EFIAPI
enableRemoteAccess (
  TARVO3_ZOR_PPI  *This
  )
{
  (VOID)This;
  ZOR_NOT_IMPLEMENTED ("enableRemoteAccess");
  return 0;
}
