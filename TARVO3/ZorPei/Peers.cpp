/** @file
  Waiting for peer modules: microcode downloads and link training.
**/
#include "ZorPei.h"

UINT32
EFIAPI
waitForPeers (
  TARVO3_ZOR_PPI  *This
  )
{
  (VOID)This;
  ZOR_NOT_IMPLEMENTED ("waitForPeers");
  return 0;
}
