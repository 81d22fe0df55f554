// Small wide-text helpers shared by the portable core. All text inside the
// program is UTF-16; on Linux (native tests) std::wstring holds the same
// UTF-16 code units, one per wchar_t, so nothing here depends on the width.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace pravel {

bool StartsWith(std::wstring_view text, std::wstring_view prefix);
bool EndsWith(std::wstring_view text, std::wstring_view suffix);
bool Contains(std::wstring_view text, std::wstring_view part);

// ASCII-only case folding; other characters are compared as they are.
wchar_t ToLowerAscii(wchar_t c);
std::wstring ToLowerAscii(const std::wstring& text);
bool EqualsIgnoreCaseAscii(std::wstring_view a, std::wstring_view b);
bool StartsWithIgnoreCaseAscii(std::wstring_view text, std::wstring_view prefix);

// Trims U+0009..U+000D and U+0020 at both ends.
std::wstring TrimWhite(const std::wstring& text);

// Decimal text of a number ("-" for negative values).
std::wstring ToDecimal(int64_t value);
std::wstring ToDecimalUnsigned(uint64_t value);
// Decimal text left-padded with zeros to at least `width` digits.
std::wstring ZeroPadded(uint32_t value, int width);

// "0x80004005": eight uppercase hexadecimal digits.
std::wstring FormatHResult(int32_t hr);

// The value of one hexadecimal digit (either case), or -1.
int HexDigitValue(wchar_t c);
// Bytes as lowercase hexadecimal text, two digits each.
std::wstring LowerHex(const uint8_t* bytes, size_t count);

// UTF-16LE bytes to text. An odd trailing byte is dropped.
std::wstring DecodeUtf16Le(const uint8_t* bytes, size_t count);
// ASCII/Latin-1 bytes to text, one character per byte.
std::wstring WidenLatin1(const std::string& text);
// A narrow ASCII text (a table entry kept as `const char*`: one byte per
// character, half the size of a wide one) widened, one character per byte.
std::wstring WideFromAscii(const char* text);
// `text` equals the narrow ASCII text `ascii` exactly, or ignoring ASCII
// case; nothing is copied.
bool EqualsAscii(std::wstring_view text, const char* ascii);
bool EqualsIgnoreCaseAscii(std::wstring_view text, const char* ascii);

// Path helpers working on backslash-separated paths.
// Text before the last backslash (empty when there is none).
std::wstring FolderOf(const std::wstring& path);
// Text after the last backslash (the whole path when there is none).
std::wstring FileNameOf(const std::wstring& path);
// The file name cut at its last dot (unchanged when it has no dot).
std::wstring StripExtension(const std::wstring& fileName);
// Appends a backslash unless the text already ends with one.
std::wstring WithTrailingBackslash(const std::wstring& path);
// Splits a path into components at "\" and "/", drops empty ones and joins
// them with single backslashes, adding a trailing backslash. A leading "\\"
// (network path) is kept. Empty input stays empty.
std::wstring NormalizeFolderPath(const std::wstring& path);

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& separator);

// One piece of a text put together by Concat: a string literal (its length
// is counted at compile time; a pointer known only at run time does not
// compile: wrap it in std::wstring_view), a std::wstring or a
// std::wstring_view. A piece only refers to its text, which must outlive
// it (temporaries in the argument list of the call do).
//
// A narrow literal ("text", not L"text") must be plain ASCII (anything else
// does not compile); it is stored in the program as one byte per character,
// half the size of a wide literal, and widened when the pieces are joined.
// Log lines and other fixed texts use narrow literals for that reason.
class TextPiece {
  public:
    consteval TextPiece(const wchar_t* literal)
        : data_(literal), size_(std::char_traits<wchar_t>::length(literal)) {}
    consteval TextPiece(const char* literal) : data_(literal), size_(NarrowLength(literal)) {}
    TextPiece(const std::wstring& text) : data_(text.data()), size_(text.size()) {}
    TextPiece(std::wstring_view text) : data_(text.data()), size_(text.size()) {}

    // Number of characters.
    size_t size() const { return size_ & ~kNarrow; }
    // Appends the piece's characters to `text`.
    void AppendTo(std::wstring& text) const;

  protected:
    TextPiece() = default;
    const void* data_;
    size_t size_;  // kNarrow set for a narrow literal
    static constexpr size_t kNarrow = ~(~size_t(0) >> 1);

  private:
    static consteval size_t NarrowLength(const char* literal) {
        size_t n = 0;
        for (; literal[n] != 0; ++n) {
            // Not a constant expression: a narrow piece with a non-ASCII byte.
            if (static_cast<unsigned char>(literal[n]) > 0x7F) throw "narrow pieces are ASCII";
        }
        return n | kNarrow;
    }
};

// A narrow ASCII text known only at run time (a table entry kept as
// `const char*`) as a piece for Concat, widened when the pieces are joined.
class AsciiPiece : public TextPiece {
  public:
    explicit AsciiPiece(const char* text);
};

// The decimal text of a number as a piece for Concat, kept in the object
// itself (nothing to allocate or free): the text of ToDecimalUnsigned.
class DecimalPiece : public TextPiece {
  public:
    explicit DecimalPiece(uint64_t value);
    DecimalPiece(const DecimalPiece&) = delete;
    DecimalPiece& operator=(const DecimalPiece&) = delete;

  private:
    wchar_t digits_[20];
};

// "0x80004005" as a piece for Concat, kept in the object itself: the text
// of FormatHResult.
class HResultPiece : public TextPiece {
  public:
    explicit HResultPiece(int32_t hr);
    HResultPiece(const HResultPiece&) = delete;
    HResultPiece& operator=(const HResultPiece&) = delete;

  private:
    wchar_t digits_[10];
};

// The pieces one after the other: the same text as joining them with
// operator+, built in one allocation out of line. A chain of operator+
// leaves a temporary string, its destructor calls and their unwinding
// entries at every call site: the pieces made pravel.exe 20 KiB smaller.
std::wstring Concat(std::initializer_list<TextPiece> pieces);
// Appends the pieces to `text`.
void AppendPieces(std::wstring& text, std::initializer_list<TextPiece> pieces);

}  // namespace pravel
