// The opened text as the reader holds it: CP1251 bytes with CR LF line ends.
#pragma once

#include <memory>
#include <string>

namespace lectorix {

class SourceText {
  public:
    SourceText() = default;
    explicit SourceText(std::string text, bool book = false) { Assign(std::move(text), book); }

    // `book`: the text carries the book trailer, so it is laid out as stored.
    void Assign(std::string text, bool book = false);
    const std::string& Text() const { return *text_; }
    // The text for a reader on another thread (the letter count), without a copy.
    std::shared_ptr<const std::string> Shared() const { return text_; }
    long long Length() const { return static_cast<long long>(text_->size()); }
    // Length without the white space at its end; kept so every page can ask for it cheaply.
    long long TrimmedLength() const { return trimmedLength_; }
    bool IsBook() const { return book_; }
    // A plain text written one paragraph a line; judged once, when the text is assigned.
    bool OneParagraphALine() const { return oneParagraphALine_; }

  private:
    std::shared_ptr<const std::string> text_ = std::make_shared<const std::string>();
    long long trimmedLength_ = 0;
    bool book_ = false;
    bool oneParagraphALine_ = false;
};

}  // namespace lectorix
