/** @file
  HOB definitions of the PI specification (volume 3) that the modules use.
**/
#ifndef __PI_HOB_H__
#define __PI_HOB_H__

#define EFI_HOB_TYPE_HANDOFF              0x0001
#define EFI_HOB_TYPE_MEMORY_ALLOCATION    0x0002
#define EFI_HOB_TYPE_RESOURCE_DESCRIPTOR  0x0003
#define EFI_HOB_TYPE_GUID_EXTENSION       0x0004
#define EFI_HOB_TYPE_FV                   0x0005
#define EFI_HOB_TYPE_CPU                  0x0006
#define EFI_HOB_TYPE_MEMORY_POOL          0x0007
#define EFI_HOB_TYPE_UNUSED               0xFFFE
#define EFI_HOB_TYPE_END_OF_HOB_LIST      0xFFFF

typedef struct {
  UINT16    HobType;
  UINT16    HobLength;
  UINT32    Reserved;
} EFI_HOB_GENERIC_HEADER;

#define EFI_HOB_HANDOFF_TABLE_VERSION  0x0009

typedef struct {
  EFI_HOB_GENERIC_HEADER    Header;
  UINT32                    Version;
  EFI_BOOT_MODE             BootMode;
  EFI_PHYSICAL_ADDRESS      EfiMemoryTop;
  EFI_PHYSICAL_ADDRESS      EfiMemoryBottom;
  EFI_PHYSICAL_ADDRESS      EfiFreeMemoryTop;
  EFI_PHYSICAL_ADDRESS      EfiFreeMemoryBottom;
  EFI_PHYSICAL_ADDRESS      EfiEndOfHobList;
} EFI_HOB_HANDOFF_INFO_TABLE;

typedef struct {
  EFI_HOB_GENERIC_HEADER    Header;
  EFI_GUID                  Name;
  //
  // Guid specific data goes here
  //
} EFI_HOB_GUID_TYPE;

typedef struct {
  EFI_HOB_GENERIC_HEADER    Header;
} EFI_HOB_MEMORY_POOL;

typedef union {
  EFI_HOB_GENERIC_HEADER        *Header;
  EFI_HOB_HANDOFF_INFO_TABLE    *HandoffInformationTable;
  EFI_HOB_GUID_TYPE             *Guid;
  EFI_HOB_MEMORY_POOL           *Pool;
  UINT8                         *Raw;
} EFI_PEI_HOB_POINTERS;

STATIC_ASSERT (sizeof (EFI_HOB_GENERIC_HEADER) == 8, "HOB header is 8 bytes");
STATIC_ASSERT (sizeof (EFI_HOB_GUID_TYPE) == 24, "GUID HOB header is 24 bytes");
STATIC_ASSERT (sizeof (EFI_HOB_HANDOFF_INFO_TABLE) == 56, "PHIT HOB is 56 bytes");

#endif
