/** @file
  EFI_PEI_PCD_PPI of PI (volume 3 of the standard): the platform
  configuration database as PEI modules see it. Token numbers are those of
  dynamic-ex PCDs, always given with their token-space GUID.
**/
#ifndef __PI_PCD_PPI_H__
#define __PI_PCD_PPI_H__

#define EFI_PEI_PCD_PPI_GUID \
  { 0x01F34D25, 0x4DE2, 0x23AD, { 0x3F, 0xF3, 0x36, 0x35, 0x3F, 0xF3, 0x23, 0xF1 } }

#define EFI_PCD_INVALID_TOKEN_NUMBER  ((UINTN) 0)

typedef
VOID
(EFIAPI *EFI_PEI_PCD_PPI_SET_SKU)(
  IN UINTN  SkuId
  );

typedef
UINT8
(EFIAPI *EFI_PEI_PCD_PPI_GET8)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber
  );

typedef
UINT16
(EFIAPI *EFI_PEI_PCD_PPI_GET16)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber
  );

typedef
UINT32
(EFIAPI *EFI_PEI_PCD_PPI_GET32)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber
  );

typedef
UINT64
(EFIAPI *EFI_PEI_PCD_PPI_GET64)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber
  );

typedef
VOID *
(EFIAPI *EFI_PEI_PCD_PPI_GET_POINTER)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber
  );

typedef
BOOLEAN
(EFIAPI *EFI_PEI_PCD_PPI_GET_BOOLEAN)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber
  );

typedef
UINTN
(EFIAPI *EFI_PEI_PCD_PPI_GET_SIZE)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_SET8)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber,
  IN UINT8           Value
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_SET16)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber,
  IN UINT16          Value
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_SET32)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber,
  IN UINT32          Value
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_SET64)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber,
  IN UINT64          Value
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_SET_POINTER)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber,
  IN OUT UINTN       *SizeOfValue,
  IN VOID            *Buffer
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_SET_BOOLEAN)(
  IN CONST EFI_GUID  *Guid,
  IN UINTN           TokenNumber,
  IN BOOLEAN         Value
  );

typedef
VOID
(EFIAPI *EFI_PEI_PCD_PPI_CALLBACK)(
  IN CONST EFI_GUID  *Guid OPTIONAL,
  IN UINTN           CallBackToken,
  IN OUT VOID        *TokenData,
  IN UINTN           TokenDataSize
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_CALLBACK_ON_SET)(
  IN CONST EFI_GUID            *Guid OPTIONAL,
  IN UINTN                     CallBackToken,
  IN EFI_PEI_PCD_PPI_CALLBACK  CallBackFunction
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_CANCEL_CALLBACK)(
  IN CONST EFI_GUID            *Guid OPTIONAL,
  IN UINTN                     CallBackToken,
  IN EFI_PEI_PCD_PPI_CALLBACK  CallBackFunction
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_GET_NEXT_TOKEN)(
  IN CONST EFI_GUID  *Guid OPTIONAL,
  IN OUT UINTN       *TokenNumber
  );

typedef
EFI_STATUS
(EFIAPI *EFI_PEI_PCD_PPI_GET_NEXT_TOKEN_SPACE)(
  IN OUT CONST EFI_GUID  **Guid
  );

///
/// The 18 members in the order PI gives them.
///
typedef struct {
  EFI_PEI_PCD_PPI_SET_SKU                 SetSku;
  EFI_PEI_PCD_PPI_GET8                    Get8;
  EFI_PEI_PCD_PPI_GET16                   Get16;
  EFI_PEI_PCD_PPI_GET32                   Get32;
  EFI_PEI_PCD_PPI_GET64                   Get64;
  EFI_PEI_PCD_PPI_GET_POINTER             GetPtr;
  EFI_PEI_PCD_PPI_GET_BOOLEAN             GetBool;
  EFI_PEI_PCD_PPI_GET_SIZE                GetSize;
  EFI_PEI_PCD_PPI_SET8                    Set8;
  EFI_PEI_PCD_PPI_SET16                   Set16;
  EFI_PEI_PCD_PPI_SET32                   Set32;
  EFI_PEI_PCD_PPI_SET64                   Set64;
  EFI_PEI_PCD_PPI_SET_POINTER             SetPtr;
  EFI_PEI_PCD_PPI_SET_BOOLEAN             SetBool;
  EFI_PEI_PCD_PPI_CALLBACK_ON_SET         CallbackOnSet;
  EFI_PEI_PCD_PPI_CANCEL_CALLBACK         CancelCallback;
  EFI_PEI_PCD_PPI_GET_NEXT_TOKEN          GetNextToken;
  EFI_PEI_PCD_PPI_GET_NEXT_TOKEN_SPACE    GetNextTokenSpace;
} EFI_PEI_PCD_PPI;

STATIC_ASSERT (sizeof (EFI_PEI_PCD_PPI) == 18 * sizeof (VOID *), "18 members");
STATIC_ASSERT (OFFSET_OF (EFI_PEI_PCD_PPI, Set32) == 10 * sizeof (VOID *), "Set32 is the eleventh member");

extern EFI_GUID  gEfiPeiPcdPpiGuid;

#endif
