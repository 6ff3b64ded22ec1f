/** @file
  Root include file of PEI modules.
**/
#ifndef __PI_PEI_H__
#define __PI_PEI_H__

#include <Uefi/UefiBaseType.h>
#include <Pi/PiPeiCis.h>
#include <Pi/PiHob.h>

#endif
