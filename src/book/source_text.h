// The opened text as the reader holds it: CP1251 bytes with CR LF line ends.
#pragma once

#include <string>

namespace lectorix {

class SourceText {
  public:
    SourceText() = default;
    explicit SourceText(std::string text) { Assign(std::move(text)); }

    void Assign(std::string text);
    const std::string& Text() const { return text_; }
    long long Length() const { return static_cast<long long>(text_.size()); }
    // Length without the white space at its end; kept so every page can ask for it cheaply.
    long long TrimmedLength() const { return trimmedLength_; }

  private:
    std::string text_;
    long long trimmedLength_ = 0;
};

}  // namespace lectorix
