/** @file
  PcdLib: dynamic-ex PCDs through the PI PCD PPI.

  PcdSetEx32S (Guid, TokenName, Value) sets the PCD whose token number the
  build declares as _PCD_TOKEN_<TokenName>.
**/
#ifndef __PCD_LIB_H__
#define __PCD_LIB_H__

#define PcdToken(TokenName)  _PCD_TOKEN_##TokenName

#define PcdGetEx32(Guid, TokenName)         LibPcdGetEx32 ((Guid), PcdToken (TokenName))
#define PcdSetEx32S(Guid, TokenName, Value) LibPcdSetEx32S ((Guid), PcdToken (TokenName), (Value))

UINT32
EFIAPI
LibPcdGetEx32 (
  IN CONST GUID  *Guid,
  IN UINTN       TokenNumber
  );

RETURN_STATUS
EFIAPI
LibPcdSetEx32S (
  IN CONST GUID  *Guid,
  IN UINTN       TokenNumber,
  IN UINT32      Value
  );

#endif
