/** @file
  Address routing of the local ZOR: the routing-table port, the target
  encoding and the rule tables that the routing slots program. enableRemoteAccess uses the
  same port for the default entries.
**/
#ifndef __ZOR_ROUTING_H__
#define __ZOR_ROUTING_H__

#include "ZorPei.h"

//
// Range granules and widths. Their names appear in the fatal-check texts.
//
constexpr UINT32  MMIO_H_ATT_LSB      = 32;   // MMIO-H ranges are 4 GB aligned
constexpr UINT32  MMIO_H_ATT_MSB      = 47;   // MMIO-H limits lie below 1 << 48
constexpr UINT32  MMIO_L_ATT_LSB      = 20;   // MMIO-L granule is 1 MB
constexpr UINT32  MMIO_L_ATT_MSB      = 31;   // MMIO-L addresses are 32 bits
constexpr UINT32  PCIIO_ATT_LSB       = 10;   // I/O granule is 1 KB
constexpr UINT32  PCIIO_ATT_MSB       = 15;   // I/O addresses are 16 bits
constexpr UINT32  MMCFG_LSB           = 20;   // MMCFG bases are 1 MB aligned
constexpr UINT32  APIC_SHIFT          = 5;    // one x2APIC entry covers 32 IDs
constexpr UINT32  APIC_ATT_ADDR_WIDTH = 7;    // 128 x2APIC entries
constexpr UINT32  DRAM_LSB            = 30;   // DRAM granule is 1 GB
constexpr UINT32  DRAM_ATT_MSB        = 47;   // DRAM rule words hold address bits 47:30

///
/// Target of every routing register: destination module in bits 7:1,
/// destination socket in bit 0.
///
constexpr UINT32
routeTarget (
  UINT32  dm,
  UINT32  ds
  )
{
  return dm << 1 | ds;
}

//
// Bit 0 of every rule and decode register below makes it valid.
//
constexpr UINT32  RULE_VALID = BIT0;

//
// IOA routing-table port (write only). One write sets one entry of one of
// three tables: bits 31:30 the table, 19:8 the entry, 7:0 the target.
//
constexpr UINT32  IOA_ROUTE_PORT         = 0x211C;
constexpr UINT32  ROUTE_TABLE_MMIO_L     = 0x00000000;  // 4096 entries, 1 MB each
constexpr UINT32  ROUTE_TABLE_PCI_IO     = 0x80000000;  // 64 entries, 1 KB each
constexpr UINT32  ROUTE_TABLE_X2APIC     = 0xC0000000;  // 128 entries, 32 APIC IDs each
constexpr UINT32  ROUTE_ENTRY_SHIFT      = 8;

constexpr UINT32
routePortValue (
  UINT32  table,
  UINT32  entry,
  UINT32  target
  )
{
  return table | entry << ROUTE_ENTRY_SHIFT | target;
}

//
// IOA local decode rules of the local module's own sockets.
//
// Local MMIO rule r: word 0 base bits 39:16 in 31:8 and valid in bit 0;
// word 1 limit bits 39:16 in 31:8 and the local socket in 7:0; word 2 limit
// bits 47:40 in 23:16 and base bits 47:40 in 7:0.
constexpr UINT32  IOA_MMIO_RULE_BASE     = 0x2120;
constexpr UINT32  IOA_MMIO_RULE_LIMIT    = 0x2140;
constexpr UINT32  IOA_MMIO_RULE_HIGH     = 0x2160;
// Local I/O decode of socket s: limit >> 10 in 29:24, base >> 10 in 21:16,
// s in 15:8, valid in bit 0.
constexpr UINT32  IOA_IO_DECODE          = 0x2180;
// Local MMCFG decode of socket s: last bus in 31:24, first bus in 23:16,
// s in 15:8, valid in bit 0.
constexpr UINT32  IOA_MMCFG_DECODE       = 0x2190;

//
// MMIO-H rule table, 32 rules, rule dm * socketsPerModule + ds: base word
// with base bits 47:32 in 31:16 and valid in bit 0; limit word with limit
// bits 47:32 in 31:16, dm in 15:1 and ds in 0.
//
constexpr UINT32  MMIOH_RULE_BASE        = 0x2200;
constexpr UINT32  MMIOH_RULE_LIMIT       = 0x2280;

//
// Protocol engines: PE 0 and PE 1, same layout.
//
constexpr UINT32  PE_COUNT               = 2;
constexpr UINT32  PE_BASE                = 0x2400;
constexpr UINT32  PE_STRIDE              = 0x200;

constexpr UINT32
peOffset (
  UINT32  pe,
  UINT32  offset
  )
{
  return PE_BASE + pe * PE_STRIDE + offset;
}

// DRAM rule table of a PE, 32 rules: base word with base bits 47:30 in 31:14
// and valid in bit 0; limit word with limit bits 47:30 in 31:14, dm in 13:1
// and ds in 0. Rule dm * socketsPerModule + ds for regular DRAM, 16 more for
// an AEP control region.
constexpr UINT32  PE_DRAM_RULE_BASE      = 0x080;
constexpr UINT32  PE_DRAM_RULE_LIMIT     = 0x100;
constexpr UINT32  PE_DRAM_RULES          = 32;
constexpr UINT32  PE_DRAM_AEP_RULES      = 16;
constexpr UINT8   DRAM_TYPE_AEP_CONTROL  = 2;

///
/// Points entries first to last (none when first > last) of one routing
/// table at target, on every rail: one port write per entry, in entry order.
///
VOID
writeRouteEntries (
  CONST ZOR_DATA  *zorData,
  UINT32          table,
  UINT32          first,
  UINT32          last,
  UINT32          target
  );

///
/// Takes the next of the eight local IOA MMIO rules for a range of the local
/// module's socket target.
///
VOID
addLocalMmioRule (
  ZOR_DATA  *zorData,
  UINT8     target,
  UINT64    base,
  UINT64    limit
  );

#endif
