// An ordered list of strings: not sorted, duplicates kept; bad indexes are failures.
#pragma once

#include <string>
#include <vector>

#include "toolkit/exceptions.h"

namespace zanto {

class TStringList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  int Add(std::string s) {
    items_.push_back(std::move(s));
    return Count() - 1;
  }
  const std::string& Get(int index) const { return items_[checked(index)]; }
  void Put(int index, std::string s) { items_[checked(index)] = std::move(s); }
  void Delete(int index) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(checked(index)));
  }
  void Exchange(int a, int b) { std::swap(items_[checked(a)], items_[checked(b)]); }
  void Clear() { items_.clear(); }

 private:
  std::size_t checked(int index) const {
    if (index < 0 || index >= Count())
      throw EListError(Formatted("List index out of bounds (%d)", index));
    return static_cast<std::size_t>(index);
  }
  std::vector<std::string> items_;
};

}  // namespace zanto
