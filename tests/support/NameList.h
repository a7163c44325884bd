// Name lists for the tests; header-only, for the tests built for Windows too.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace tavrin::test {

using Names = std::vector<std::string>;

// A callback that appends each name it is handed to `names`.
inline auto Into(Names& names) {
  return [&names](const std::string& name) { names.push_back(name); };
}

// What `item(i)` gives for every position below `count`, in order.
template <typename Item>
Names NamesOf(int count, Item item) {
  Names names;
  for (int i = 0; i < count; ++i) names.push_back(item(i));
  return names;
}

// The position of a name in a list; -1 when it is not there.
inline int PositionOf(const Names& names, const std::string& name) {
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

}  // namespace tavrin::test
