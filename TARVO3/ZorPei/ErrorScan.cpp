/** @file
  Thermal and error scan of every module and rail.
**/
#include "ZorPei.h"

UINT32
EFIAPI
checkErrors (
  TARVO3_ZOR_PPI  *This
  )
{
  (VOID)This;
  ZOR_NOT_IMPLEMENTED ("checkErrors");
  return 0;
}
