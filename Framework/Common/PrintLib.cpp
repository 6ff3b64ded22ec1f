/** @file
  PrintLib: the framework's format rules.

  %[flags][width][.precision]type with flags '-' (left-justify), '0' (zero
  pad), 'l'/'L' (64-bit argument) and '*' (width from the arguments).
  Hexadecimal digits are upper case for both x and X. '\n' in the format is
  written as "\r\n". No standard library: the same code runs in firmware.
**/
extern "C" {
#include <Uefi/UefiBaseType.h>
#include <Library/BaseLib.h>
#include <Library/PrintLib.h>
}

namespace {

//
// Output into a bounded buffer; always leaves room for the terminating NUL.
//
struct Output {
  CHAR8  *Buffer;
  UINTN  Size;
  UINTN  Length;

  VOID
  Put (
    CHAR8  Character
    )
  {
    if (Length + 1 < Size) {
      Buffer[Length++] = Character;
    }
  }

  VOID
  Pad (
    CHAR8  Character,
    UINTN  Count
    )
  {
    while (Count-- > 0) {
      Put (Character);
    }
  }
};

constexpr CHAR8  HexDigits[] = "0123456789ABCDEF";

struct StatusName {
  EFI_STATUS   Status;
  CONST CHAR8  *Text;
};

constexpr StatusName  StatusNames[] = {
  { EFI_SUCCESS,           "Success"              },
  { EFI_LOAD_ERROR,        "Load Error"           },
  { EFI_INVALID_PARAMETER, "Invalid Parameter"    },
  { EFI_UNSUPPORTED,       "Unsupported"          },
  { EFI_BAD_BUFFER_SIZE,   "Bad Buffer Size"      },
  { EFI_BUFFER_TOO_SMALL,  "Buffer Too Small"     },
  { EFI_NOT_READY,         "Not Ready"            },
  { EFI_DEVICE_ERROR,      "Device Error"         },
  { EFI_OUT_OF_RESOURCES,  "Out of Resources"     },
  { EFI_NOT_FOUND,         "Not Found"            },
  { EFI_ALREADY_STARTED,   "Already started"      },
};

//
// Digits of Value in Radix, most significant first, into Digits (no NUL);
// returns their count.
//
UINTN
ToDigits (
  UINT64  Value,
  UINT32  Radix,
  CHAR8   *Digits
  )
{
  CHAR8  Reversed[24];
  UINTN  Count = 0;

  //
  // Decimal digits through BaseLib: a 64-bit division by the operator would
  // call a compiler helper that IA32 firmware does not link.
  //
  do {
    UINT32  Digit;
    if (Radix == 16) {
      Digit = (UINT32)(Value & 0xF);
      Value = Value >> 4;
    } else {
      Value = DivU64x32Remainder (Value, 10, &Digit);
    }

    Reversed[Count++] = HexDigits[Digit];
  } while (Value != 0);

  for (UINTN Index = 0; Index < Count; Index++) {
    Digits[Index] = Reversed[Count - 1 - Index];
  }

  return Count;
}

struct Conversion {
  BOOLEAN  LeftJustify;
  BOOLEAN  ZeroPad;
  UINTN    Width;
  UINTN    Precision;
  BOOLEAN  HasPrecision;
};

VOID
PutNumber (
  Output      &Out,
  CONST Conversion  &S,
  BOOLEAN     Negative,
  UINT64      Magnitude,
  UINT32      Radix
  )
{
  CHAR8  Digits[24];
  UINTN  Count  = ToDigits (Magnitude, Radix, Digits);
  UINTN  Length = Count + (Negative ? 1 : 0);
  UINTN  Fill   = (S.Width > Length) ? S.Width - Length : 0;

  if (S.LeftJustify) {
    if (Negative) {
      Out.Put ('-');
    }

    for (UINTN Index = 0; Index < Count; Index++) {
      Out.Put (Digits[Index]);
    }

    Out.Pad (' ', Fill);
    return;
  }

  if (S.ZeroPad) {
    if (Negative) {
      Out.Put ('-');
    }

    Out.Pad ('0', Fill);
  } else {
    Out.Pad (' ', Fill);
    if (Negative) {
      Out.Put ('-');
    }
  }

  for (UINTN Index = 0; Index < Count; Index++) {
    Out.Put (Digits[Index]);
  }
}

template <typename CharType>
VOID
PutString (
  Output          &Out,
  CONST Conversion      &S,
  CONST CharType  *String
  )
{
  if (String == NULL) {
    PutString<CHAR8>(Out, S, "<null string>");
    return;
  }

  UINTN  Length = 0;
  while (String[Length] != 0 && (!S.HasPrecision || Length < S.Precision)) {
    Length++;
  }

  UINTN  Fill = (S.Width > Length) ? S.Width - Length : 0;
  if (!S.LeftJustify) {
    Out.Pad (' ', Fill);
  }

  for (UINTN Index = 0; Index < Length; Index++) {
    Out.Put ((CHAR8)(String[Index] & 0xFF));
  }

  if (S.LeftJustify) {
    Out.Pad (' ', Fill);
  }
}

VOID
PutHex (
  Output  &Out,
  UINT64  Value,
  UINTN   Width
  )
{
  Conversion  S = { FALSE, TRUE, Width, 0, FALSE };

  PutNumber (Out, S, FALSE, Value, 16);
}

}  // namespace

extern "C" UINTN
EFIAPI
AsciiVSPrint (
  OUT CHAR8        *StartOfBuffer,
  IN  UINTN        BufferSize,
  IN  CONST CHAR8  *FormatString,
  IN  VA_LIST      Marker
  )
{
  Output  Out = { StartOfBuffer, BufferSize, 0 };

  if ((StartOfBuffer == NULL) || (BufferSize == 0)) {
    return 0;
  }

  if (FormatString == NULL) {
    FormatString = "<null string>";
  }

  for (CONST CHAR8 *Format = FormatString; *Format != '\0'; Format++) {
    if (*Format == '\n') {
      Out.Put ('\r');
      Out.Put ('\n');
      continue;
    }

    if (*Format != '%') {
      Out.Put (*Format);
      continue;
    }

    Conversion     S       = { FALSE, FALSE, 0, 0, FALSE };
    BOOLEAN  Long    = FALSE;
    BOOLEAN  Parsing = TRUE;

    while (Parsing) {
      Format++;
      switch (*Format) {
        case '-':
          S.LeftJustify = TRUE;
          break;
        case '0':
          S.ZeroPad = TRUE;
          break;
        case 'l':
        case 'L':
          Long = TRUE;
          break;
        case '*':
          S.Width = (UINTN)VA_ARG (Marker, UINT32);
          break;
        case '.':
          S.HasPrecision = TRUE;
          S.Precision    = 0;
          while (Format[1] >= '0' && Format[1] <= '9') {
            Format++;
            S.Precision = S.Precision * 10 + (UINTN)(*Format - '0');
          }

          break;
        default:
          if (*Format >= '1' && *Format <= '9') {
            S.Width = (UINTN)(*Format - '0');
            while (Format[1] >= '0' && Format[1] <= '9') {
              Format++;
              S.Width = S.Width * 10 + (UINTN)(*Format - '0');
            }
          } else {
            Parsing = FALSE;
          }

          break;
      }
    }

    switch (*Format) {
      case 'd':
      case 'i':
        {
          INT64  Value = Long ? VA_ARG (Marker, INT64) : (INT64)VA_ARG (Marker, INT32);
          UINT64 Magnitude = (Value < 0) ? (UINT64)0 - (UINT64)Value : (UINT64)Value;
          PutNumber (Out, S, Value < 0 ? TRUE : FALSE, Magnitude, 10);
        }
        break;
      case 'u':
        PutNumber (Out, S, FALSE, Long ? VA_ARG (Marker, UINT64) : (UINT64)VA_ARG (Marker, UINT32), 10);
        break;
      case 'x':
      case 'X':
        PutNumber (Out, S, FALSE, Long ? VA_ARG (Marker, UINT64) : (UINT64)VA_ARG (Marker, UINT32), 16);
        break;
      case 'c':
        {
          CHAR8  Character = (CHAR8)VA_ARG (Marker, UINT32);
          S.HasPrecision = FALSE;
          CHAR8  Text[2] = { Character, '\0' };
          PutString<CHAR8>(Out, S, Text);
        }
        break;
      case 'a':
        PutString<CHAR8>(Out, S, VA_ARG (Marker, CONST CHAR8 *));
        break;
      case 's':
      case 'S':
        PutString<CHAR16>(Out, S, VA_ARG (Marker, CONST CHAR16 *));
        break;
      case 'p':
        PutHex (Out, (UINT64)(UINTN)VA_ARG (Marker, VOID *), 2 * sizeof (VOID *));
        break;
      case 'g':
        {
          CONST GUID  *Guid = VA_ARG (Marker, CONST GUID *);
          if (Guid == NULL) {
            PutString<CHAR8>(Out, S, "<null guid>");
            break;
          }

          PutHex (Out, Guid->Data1, 8);
          Out.Put ('-');
          PutHex (Out, Guid->Data2, 4);
          Out.Put ('-');
          PutHex (Out, Guid->Data3, 4);
          Out.Put ('-');
          for (UINTN Index = 0; Index < 8; Index++) {
            if (Index == 2) {
              Out.Put ('-');
            }

            PutHex (Out, Guid->Data4[Index], 2);
          }
        }
        break;
      case 'r':
        {
          EFI_STATUS   Status = VA_ARG (Marker, EFI_STATUS);
          CONST CHAR8  *Text  = NULL;
          for (UINTN Index = 0; Index < ARRAY_SIZE (StatusNames); Index++) {
            if (StatusNames[Index].Status == Status) {
              Text = StatusNames[Index].Text;
            }
          }

          if (Text != NULL) {
            PutString<CHAR8>(Out, S, Text);
          } else {
            PutHex (Out, Status, 0);
          }
        }
        break;
      case '%':
        Out.Put ('%');
        break;
      case '\0':
        //
        // A lone '%' at the end of the format: nothing more to print.
        //
        Format--;
        break;
      default:
        Out.Put (*Format);
        break;
    }
  }

  StartOfBuffer[Out.Length] = '\0';
  return Out.Length;
}

extern "C" UINTN
EFIAPI
AsciiSPrint (
  OUT CHAR8        *StartOfBuffer,
  IN  UINTN        BufferSize,
  IN  CONST CHAR8  *FormatString,
  ...
  )
{
  VA_LIST  Marker;
  UINTN    Length;

  VA_START (Marker, FormatString);
  Length = AsciiVSPrint (StartOfBuffer, BufferSize, FormatString, Marker);
  VA_END (Marker);
  return Length;
}
