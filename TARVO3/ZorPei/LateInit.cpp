/** @file
  Late initialisation: hands the gathered routing and DRAM settings to the protocol engines.
**/
#include "ZorPei.h"

VOID
EFIAPI
lateInit (
  TARVO3_ZOR_PPI  *This
  )
{
  (VOID)This;
  ZOR_NOT_IMPLEMENTED ("lateInit");
}
