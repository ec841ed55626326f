// The opened text as the reader holds it: CP1251 bytes with CR LF line ends.
#pragma once

#include <memory>
#include <string>

namespace lectorix {

class SourceText {
  public:
    SourceText() = default;
    explicit SourceText(std::string text) { Assign(std::move(text)); }

    void Assign(std::string text);
    const std::string& Text() const { return *text_; }
    // The text for a reader on another thread (the letter count), without a copy.
    std::shared_ptr<const std::string> Shared() const { return text_; }
    long long Length() const { return static_cast<long long>(text_->size()); }
    // Length without the white space at its end; kept so every page can ask for it cheaply.
    long long TrimmedLength() const { return trimmedLength_; }

  private:
    std::shared_ptr<const std::string> text_ = std::make_shared<const std::string>();
    long long trimmedLength_ = 0;
};

}  // namespace lectorix
