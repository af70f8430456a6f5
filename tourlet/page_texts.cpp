#include "page_texts.h"

#include "text_ids.h"

namespace tourlet {

std::wstring_view PageText(forms::FormSystem& system, int page) {
    static_assert(texts::kTourletPage2 == texts::kTourletPage1 + 1 &&
                  texts::kTourletPage3 == texts::kTourletPage1 + 2);
    return system.Text(texts::kTourletPage1 + page);
}

}  // namespace tourlet
