// Turning the bytes of a file into the reader's text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "book/file_save.h"  // WriteFileBytes, for the callers that read and write

namespace lectorix {

// An error whose message is meant for the user as it stands.
class UserError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file that holds no text at all (a program, an image): refused rather than shown as garbage.
class NotTextError : public UserError {
  public:
    using UserError::UserError;
};

// True for bytes that are no text: a NUL byte, or more than one byte in ten a control character
// other than tab, the line and page breaks and the end-of-file mark. Bytes opened by a UTF-16
// byte-order mark are left to the decoding.
bool IsBinaryData(std::string_view bytes);

// Every LF without a CR before it and every CR without an LF after it becomes CR LF. Works in the
// string it is given, growing it at the end, so a large text is not copied.
std::string NormalizeLineEnds(std::string text);

// An RTF document (bytes beginning with "{\rtf") becomes its text by RtfToText, wherever the
// bytes came from. UTF-8 (a leading byte-order mark dropped) that holds any byte of 0x80 or above
// and UTF-16 with its byte-order mark become CP1251, '?' standing for characters the code page
// lacks. Other bytes are CP1251, or KOI8-R when read so they give more lower-case Cyrillic
// letters. Line ends are normalised afterwards.
std::string DecodeText(std::string bytes);

// `path` as messages show it, so that a message stays one readable line: control bytes, bytes
// that are no UTF-8, C1 controls and the Unicode line separators become C-style escapes (\n,
// \r, \t, else \xNN for each byte), and the backslash and the double quote are escaped too.
std::string EscapedFileName(std::string_view path);
// The same in double quotes, as every message naming a file has it.
std::string QuotedFileName(std::string_view path);

// The largest file the program reads: a text that size already takes gigabytes laid out.
inline constexpr std::uint64_t kFileSizeLimit = std::uint64_t{1} << 30;

// Reads a whole regular file as bytes. The file is opened without blocking and judged on the
// opened descriptor (so a link is followed, and a link to a device is refused like the device):
// a folder, a device, a pipe or a socket is refused, and so is a file larger than `limit`, before
// anything of it is read. Throws UserError naming the file and the reason.
std::string ReadFileBytes(const std::string& path, std::uint64_t limit = kFileSizeLimit);

// The reader's text of a file's bytes by DecodeText. Throws NotTextError naming the file
// (`name`, as EscapedFileName gives it) for binary data and for a file that holds nothing but
// white space; `where` ("в архиве ") says where the bytes came from.
std::string DecodeFileBytes(std::string bytes, std::string_view name, std::string_view where = {});

// ReadFileBytes followed by DecodeFileBytes.
std::string LoadTextFile(const std::string& path);

}  // namespace lectorix
