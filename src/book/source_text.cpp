#include "book/source_text.h"

#include "book/text_helpers.h"

namespace lectorix {

void SourceText::Assign(std::string text) {
    text_ = std::move(text);
    trimmedLength_ = static_cast<long long>(TrimRight(text_).size());
}

}  // namespace lectorix
