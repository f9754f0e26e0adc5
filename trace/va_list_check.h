#pragma once
// Whether an argument list handed across the export boundary is null. On
// x86_64 a va_list parameter is a pointer; where it is not, it cannot be null.
#include <type_traits>

namespace vz {

template <typename ArgumentList>
bool IsNullArgumentList(ArgumentList args) {
  if constexpr (std::is_pointer_v<ArgumentList>) {
    return args == nullptr;
  } else {
    return false;
  }
}

}  // namespace vz
