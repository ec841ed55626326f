#include "book/source_text.h"

#include "book/text_helpers.h"

namespace lectorix {

void SourceText::Assign(std::string text) {
    auto shared = std::make_shared<const std::string>(std::move(text));
    trimmedLength_ = static_cast<long long>(TrimRight(*shared).size());
    text_ = std::move(shared);
}

}  // namespace lectorix
