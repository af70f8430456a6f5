// Containers for the handful of entries a window holds (controls, handlers, pictures,
// fonts): a flat map searched front to back, and a stable sort by insertion. For a dozen
// entries a tree map or the library's merge sort costs more code than it saves time, and
// every byte of code is read from the CD before the window shows.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace forms {

template <typename Key, typename Value>
class SmallMap {
  public:
    Value* Find(const Key& key) {
        for (auto& [entryKey, value] : entries_) {
            if (entryKey == key) {
                return &value;
            }
        }
        return nullptr;
    }
    const Value* Find(const Key& key) const { return const_cast<SmallMap*>(this)->Find(key); }
    bool Contains(const Key& key) const { return Find(key) != nullptr; }
    // The value for `key`, added as a default one where there is none.
    Value& operator[](const Key& key) {
        if (Value* value = Find(key)) {
            return *value;
        }
        return entries_.emplace_back(key, Value{}).second;
    }

    void Clear() { entries_.clear(); }

    auto begin() { return entries_.begin(); }
    auto end() { return entries_.end(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

  private:
    std::vector<std::pair<Key, Value>> entries_;
};

// Equal items keep their order.
template <typename Items, typename Less>
void StableSort(Items& items, Less less) {
    for (size_t i = 1; i < items.size(); ++i) {
        for (size_t j = i; j > 0 && less(items[j], items[j - 1]); --j) {
            std::swap(items[j], items[j - 1]);
        }
    }
}

}  // namespace forms
