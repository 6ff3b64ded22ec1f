/** @file
  Address routing of MMIO, PCI I/O, MMCFG, x2APIC and DRAM ranges.
**/
#include "ZorPei.h"

VOID EFIAPI routeMmioH (TARVO3_ZOR_PPI *This, UINT64 base, UINT64 limit, UINT8 dm, UINT8 ds)
{
  (VOID)This; (VOID)base; (VOID)limit; (VOID)dm; (VOID)ds;
  ZOR_NOT_IMPLEMENTED ("routeMmioH");
}

VOID EFIAPI routeMmioL (TARVO3_ZOR_PPI *This, UINT32 base, UINT32 limit, UINT8 dm, UINT8 ds)
{
  (VOID)This; (VOID)base; (VOID)limit; (VOID)dm; (VOID)ds;
  ZOR_NOT_IMPLEMENTED ("routeMmioL");
}

VOID EFIAPI routeIo (TARVO3_ZOR_PPI *This, UINT16 base, UINT16 limit, UINT8 dm, UINT8 ds)
{
  (VOID)This; (VOID)base; (VOID)limit; (VOID)dm; (VOID)ds;
  ZOR_NOT_IMPLEMENTED ("routeIo");
}

VOID EFIAPI routeMmcfg (TARVO3_ZOR_PPI *This, UINT64 base, UINT64 limit, UINT8 dm, UINT8 ds)
{
  (VOID)This; (VOID)base; (VOID)limit; (VOID)dm; (VOID)ds;
  ZOR_NOT_IMPLEMENTED ("routeMmcfg");
}

VOID EFIAPI routeX2apic (TARVO3_ZOR_PPI *This, UINT32 base, UINT32 limit, UINT8 dm, UINT8 ds)
{
  (VOID)This; (VOID)base; (VOID)limit; (VOID)dm; (VOID)ds;
  ZOR_NOT_IMPLEMENTED ("routeX2apic");
}

VOID EFIAPI routeDram (TARVO3_ZOR_PPI *This, UINT64 base, UINT64 limit, UINT8 dm, UINT8 ds, UINT8 type)
{
  (VOID)This; (VOID)base; (VOID)limit; (VOID)dm; (VOID)ds; (VOID)type;
  ZOR_NOT_IMPLEMENTED ("routeDram");
}
