#include "text_table.h"

#include "inflate.h"

namespace launcher {
namespace {

// Far beyond the texts of any language: a length past it is a damaged table.
constexpr size_t kLargestTable = 1u << 20;

}  // namespace

base::Result<TextTable> TextTable::Unpack(std::span<const uint8_t> packed) {
    const base::Result<std::vector<uint8_t>> table = base::InflatePacked(packed, kLargestTable);
    if (!table) {
        return table.error();
    }
    TextTable texts;
    for (size_t at = 0; at < table->size();) {
        if (table->size() - at < 2) {
            return base::Error("the text table is damaged");
        }
        const size_t length = (*table)[at] | (*table)[at + 1] << 8;
        at += 2;
        if ((table->size() - at) / 2 < length) {
            return base::Error("the text table is damaged");
        }
        for (size_t unit = 0; unit < length; ++unit, at += 2) {
            texts.texts_ += static_cast<wchar_t>((*table)[at] | (*table)[at + 1] << 8);
        }
        texts.ends_.push_back(static_cast<uint32_t>(texts.texts_.size()));
    }
    return texts;
}

std::wstring_view TextTable::Text(int id) const {
    if (id < 0 || static_cast<size_t>(id) >= ends_.size()) {
        return {};
    }
    const size_t start = id == 0 ? 0 : ends_[static_cast<size_t>(id) - 1];
    return std::wstring_view(texts_).substr(start, ends_[static_cast<size_t>(id)] - start);
}

}  // namespace launcher
