#include "runtime/text_array.h"

#include "runtime/runtime_error.h"

namespace belvane {

const TextValue& TextArray::At(int index) const {
  if (index < 1) ReportRuntimeError(4);
  if (index > Count()) ReportRuntimeError(1);
  return members_[static_cast<std::size_t>(index - 1)];
}

TextValue& TextArray::At(int index) {
  return const_cast<TextValue&>(static_cast<const TextArray&>(*this).At(index));
}

}  // namespace belvane
