/** @file
  Compile-time check of DebugPrint arguments against their format (C++ only).

  DEBUG ((Level, Format, ...)) in C++ calls DebugPrintChecked, whose format
  parameter can only be built from a string literal whose conversions match
  the argument types:
    %d %i %u %x %X %c   a 32-bit (or narrower) integer
    %ld %lu %lx ...     a 64-bit integer
    %a                  a CHAR8 string        %s  a CHAR16 string
    %p                  any pointer           %g  an EFI_GUID pointer
    %r                  an EFI_STATUS         *   a 32-bit width
  A mismatch stops the build in a call to one of the functions named below,
  whose name says what is wrong.
**/
#ifndef __DEBUG_FORMAT_H__
#define __DEBUG_FORMAT_H__

extern "C++" {
namespace DebugFormatCheck {

//
// Never defined and not constexpr: reaching one of them while checking a
// format at compile time is the error message.
//
VOID  TooFewArgumentsForFormat ();
VOID  TooManyArgumentsForFormat ();
VOID  FormatWantsA32BitInteger ();
VOID  FormatWantsA64BitInteger ();
VOID  FormatWantsAnAsciiString ();
VOID  FormatWantsAUnicodeString ();
VOID  FormatWantsAPointer ();
VOID  FormatWantsAGuidPointer ();
VOID  FormatWantsAStatus ();

enum class Kind {
  Other,
  Int32,
  Int64,
  Ascii,
  Unicode,
  Guid,
  Pointer,
  Null
};

template <class T> struct Integer { static constexpr bool Value = false; };
template <> struct Integer<bool> { static constexpr bool Value = true; };
template <> struct Integer<char> { static constexpr bool Value = true; };
template <> struct Integer<signed char> { static constexpr bool Value = true; };
template <> struct Integer<unsigned char> { static constexpr bool Value = true; };
template <> struct Integer<short> { static constexpr bool Value = true; };
template <> struct Integer<unsigned short> { static constexpr bool Value = true; };
template <> struct Integer<int> { static constexpr bool Value = true; };
template <> struct Integer<unsigned int> { static constexpr bool Value = true; };
template <> struct Integer<long> { static constexpr bool Value = true; };
template <> struct Integer<unsigned long> { static constexpr bool Value = true; };
template <> struct Integer<long long> { static constexpr bool Value = true; };
template <> struct Integer<unsigned long long> { static constexpr bool Value = true; };

template <class T> struct Unconst { using Type = T; };
template <class T> struct Unconst<const T> { using Type = T; };
template <class T> struct Unconst<volatile T> { using Type = T; };
template <class T> struct Unconst<const volatile T> { using Type = T; };

template <class A, class B> struct Same { static constexpr bool Value = false; };
template <class A> struct Same<A, A> { static constexpr bool Value = true; };

template <class T> struct KindOf {
  static constexpr Kind Value =
    (Integer<T>::Value || __is_enum (T))
      ? (sizeof (T) <= 4 ? Kind::Int32 : (sizeof (T) == 8 ? Kind::Int64 : Kind::Other))
      : Kind::Other;
};

template <class T> struct KindOf<T *> {
  using Pointee = typename Unconst<T>::Type;
  static constexpr Kind Value =
    Same<Pointee, CHAR8>::Value ? Kind::Ascii :
    Same<Pointee, CHAR16>::Value ? Kind::Unicode :
    Same<Pointee, GUID>::Value ? Kind::Guid : Kind::Pointer;
};

template <> struct KindOf<decltype (nullptr)> {
  static constexpr Kind Value = Kind::Null;
};

template <class T> struct Identity { using Type = T; };

consteval VOID
Expect (
  Kind  Wanted,
  Kind  Given
  )
{
  if (Given == Kind::Null) {
    //
    // A null pointer prints "<null string>" (or a null pointer) for any of
    // the pointer conversions.
    //
    if ((Wanted == Kind::Ascii) || (Wanted == Kind::Unicode) || (Wanted == Kind::Pointer) || (Wanted == Kind::Guid)) {
      return;
    }
  }

  if (Wanted == Given) {
    return;
  }

  switch (Wanted) {
    case Kind::Int32:   FormatWantsA32BitInteger ();
      break;
    case Kind::Int64:   FormatWantsA64BitInteger ();
      break;
    case Kind::Ascii:   FormatWantsAnAsciiString ();
      break;
    case Kind::Unicode: FormatWantsAUnicodeString ();
      break;
    case Kind::Guid:    FormatWantsAGuidPointer ();
      break;
    case Kind::Pointer:
      if ((Given == Kind::Ascii) || (Given == Kind::Unicode) || (Given == Kind::Guid)) {
        return;
      }

      FormatWantsAPointer ();
      break;
    default:
      FormatWantsAStatus ();
      break;
  }
}

consteval Kind
StatusKind (
  VOID
  )
{
  return sizeof (UINTN) == 8 ? Kind::Int64 : Kind::Int32;
}

template <class... Args>
struct Format {
  CONST CHAR8  *Text;

  template <UINTN N>
  consteval Format (
    const CHAR8 (&String)[N]
    ) : Text (String)
  {
    constexpr Kind  Given[] = { KindOf<Args>::Value..., Kind::Other };
    UINTN           Next    = 0;
    UINTN           Count   = sizeof... (Args);

    for (UINTN Index = 0; Index + 1 < N && String[Index] != '\0'; Index++) {
      if (String[Index] != '%') {
        continue;
      }

      BOOLEAN  Long = FALSE;
      Index++;
      while (String[Index] == '-' || String[Index] == '0' || String[Index] == 'l' || String[Index] == 'L' ||
             String[Index] == '*' || String[Index] == '.' || (String[Index] >= '1' && String[Index] <= '9'))
      {
        if ((String[Index] == 'l') || (String[Index] == 'L')) {
          Long = TRUE;
        }

        if (String[Index] == '*') {
          if (Next >= Count) {
            TooFewArgumentsForFormat ();
          }

          Expect (Kind::Int32, Given[Next++]);
        }

        Index++;
      }

      Kind  Wanted;
      switch (String[Index]) {
        case '%':
          continue;
        case 'd': case 'i': case 'u': case 'x': case 'X':
          Wanted = Long ? Kind::Int64 : Kind::Int32;
          break;
        case 'c':
          Wanted = Kind::Int32;
          break;
        case 'a':
          Wanted = Kind::Ascii;
          break;
        case 's': case 'S':
          Wanted = Kind::Unicode;
          break;
        case 'p':
          Wanted = Kind::Pointer;
          break;
        case 'g':
          Wanted = Kind::Guid;
          break;
        case 'r':
          Wanted = StatusKind ();
          break;
        default:
          continue;
      }

      if (Next >= Count) {
        TooFewArgumentsForFormat ();
      }

      Expect (Wanted, Given[Next++]);
    }

    if (Next != Count) {
      TooManyArgumentsForFormat ();
    }
  }
};

}  // namespace DebugFormatCheck

template <class... Args>
inline VOID
DebugPrintChecked (
  UINTN                                                                     ErrorLevel,
  DebugFormatCheck::Format<typename DebugFormatCheck::Identity<Args>::Type...>  Format,
  Args...                                                                   Arguments
  )
{
  DebugPrint (ErrorLevel, Format.Text, Arguments...);
}
}

#endif
