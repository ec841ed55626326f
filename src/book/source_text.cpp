#include "book/source_text.h"

#include "book/paragraphs.h"
#include "book/text_helpers.h"

namespace lectorix {

void SourceText::Assign(std::string text, bool book) {
    auto shared = std::make_shared<const std::string>(std::move(text));
    trimmedLength_ = static_cast<long long>(TrimRight(*shared).size());
    book_ = book;
    oneParagraphALine_ = !book && IsOneParagraphALine(*shared);
    text_ = std::move(shared);
}

}  // namespace lectorix
