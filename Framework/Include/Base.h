/** @file
  Root include file of every module: the base types, status codes and helper
  macros of the framework's Base.h, for the two targets we build for:
  IA32 firmware (32-bit UINTN) and the x86-64 host that runs the simulator.
**/
#ifndef __BASE_H__
#define __BASE_H__

#include <stddef.h>
#include <stdint.h>
#include <stdarg.h>

#if defined (__clang__) || defined (__GNUC__)
  #if __SIZEOF_POINTER__ == 4
    #define MDE_CPU_IA32
  #else
    #define MDE_CPU_X64
  #endif
#endif

typedef unsigned long long  UINT64;
typedef long long           INT64;
typedef unsigned int        UINT32;
typedef int                 INT32;
typedef unsigned short      UINT16;
typedef short               INT16;
typedef unsigned char       UINT8;
typedef signed char         INT8;
typedef unsigned char       BOOLEAN;
typedef char                CHAR8;
typedef unsigned short      CHAR16;
typedef void                VOID;

#if defined (MDE_CPU_IA32)
typedef UINT32  UINTN;
typedef INT32   INTN;
#else
typedef UINT64  UINTN;
typedef INT64   INTN;
#endif

#define MAX_UINTN  ((UINTN)-1)
#define MAX_UINT32 ((UINT32)0xFFFFFFFF)
#define MAX_UINT64 ((UINT64)0xFFFFFFFFFFFFFFFFULL)
#define MAX_BIT    ((UINTN)1 << (sizeof (UINTN) * 8 - 1))

//
// EFIAPI is the C calling convention on IA32 (caller pops). The host build
// never crosses a foreign ABI, so it uses the compiler's default.
//
#if defined (MDE_CPU_IA32)
  #define EFIAPI  __cdecl
#else
  #define EFIAPI
#endif

#define IN
#define OUT
#define OPTIONAL
#define CONST     const
#define STATIC    static
#define GLOBAL_REMOVE_IF_UNREFERENCED

#define TRUE   ((BOOLEAN)(1 == 1))
#define FALSE  ((BOOLEAN)(0 == 1))

#ifndef NULL
  #define NULL  ((VOID *) 0)
#endif

typedef struct {
  UINT32    Data1;
  UINT16    Data2;
  UINT16    Data3;
  UINT8     Data4[8];
} GUID;

typedef UINTN  RETURN_STATUS;

#define ENCODE_ERROR(StatusCode)    ((RETURN_STATUS)(MAX_BIT | (StatusCode)))
#define ENCODE_WARNING(StatusCode)  ((RETURN_STATUS)(StatusCode))
#define RETURN_ERROR(StatusCode)    (((INTN)(RETURN_STATUS)(StatusCode)) < 0)

#define RETURN_SUCCESS               0
#define RETURN_LOAD_ERROR            ENCODE_ERROR (1)
#define RETURN_INVALID_PARAMETER     ENCODE_ERROR (2)
#define RETURN_UNSUPPORTED           ENCODE_ERROR (3)
#define RETURN_BAD_BUFFER_SIZE       ENCODE_ERROR (4)
#define RETURN_BUFFER_TOO_SMALL      ENCODE_ERROR (5)
#define RETURN_NOT_READY             ENCODE_ERROR (6)
#define RETURN_DEVICE_ERROR          ENCODE_ERROR (7)
#define RETURN_OUT_OF_RESOURCES      ENCODE_ERROR (9)
#define RETURN_NOT_FOUND             ENCODE_ERROR (14)
#define RETURN_ALREADY_STARTED       ENCODE_ERROR (20)

#define BIT0   0x00000001
#define BIT1   0x00000002
#define BIT2   0x00000004
#define BIT3   0x00000008
#define BIT4   0x00000010
#define BIT5   0x00000020
#define BIT6   0x00000040
#define BIT7   0x00000080
#define BIT31  0x80000000

#define SIZE_1KB   0x00000400
#define SIZE_4KB   0x00001000
#define SIZE_1MB   0x00100000
#define SIZE_1GB   0x40000000

#define OFFSET_OF(TYPE, Field)  ((UINTN) __builtin_offsetof (TYPE, Field))

///
/// Steps back from a pointer to Field to the record of type TYPE that holds it.
///
#define BASE_CR(Record, TYPE, Field) \
  ((TYPE *) ((CHAR8 *) (Record) - OFFSET_OF (TYPE, Field)))

#define ARRAY_SIZE(Array)  (sizeof (Array) / sizeof ((Array)[0]))

#define ALIGN_VALUE(Value, Alignment) \
  ((Value) + (((Alignment) - (Value)) & ((Alignment) - 1U)))

#define SIGNATURE_16(A, B)        ((A) | (B << 8))
#define SIGNATURE_32(A, B, C, D)  (SIGNATURE_16 (A, B) | (SIGNATURE_16 (C, D) << 16))

#define VA_LIST              va_list
#define VA_START(Marker, Parameter)  va_start (Marker, Parameter)
#define VA_ARG(Marker, TYPE)         va_arg (Marker, TYPE)
#define VA_END(Marker)               va_end (Marker)
#define VA_COPY(Dest, Start)         va_copy (Dest, Start)

#define MAX(a, b)  (((a) > (b)) ? (a) : (b))
#define MIN(a, b)  (((a) < (b)) ? (a) : (b))

#ifdef __cplusplus
  #define STATIC_ASSERT  static_assert
#else
  #define STATIC_ASSERT  _Static_assert
#endif

#endif
