/** @file
  PI boot modes.
**/
#ifndef __PI_BOOT_MODE_H__
#define __PI_BOOT_MODE_H__

typedef UINT32  EFI_BOOT_MODE;

#define BOOT_WITH_FULL_CONFIGURATION  0x00

#endif
