// Turning the bytes of a file into the reader's text.
#pragma once

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

// Reads a whole file as bytes. Throws UserError naming the file when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// ReadFileBytes followed by DecodeText. Throws NotTextError naming the file for binary data.
std::string LoadTextFile(const std::string& path);

}  // namespace lectorix
