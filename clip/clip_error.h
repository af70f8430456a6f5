// Why the clip reader refuses a clip or a picture.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "error.h"

namespace clip {

// Why a clip or a picture was refused.
class ClipError : public base::Error {
  public:
    using base::Error::Error;
};

// Why a clip was refused, in the words of its reader's developer: for the host build, its tests
// and the fuzzer. The programs tell the user no more than that the file is damaged, so they
// are built without these texts (VARNOK_TERSE_CLIP), which a CD drive would otherwise read
// before the splash shows.
#ifdef VARNOK_TERSE_CLIP
inline constexpr bool kDeveloperReasons = false;
#else
inline constexpr bool kDeveloperReasons = true;
#endif

// The reason that `words` make, or none in the programs, where the words are never made and
// their texts never reach the program's file.
template <typename Words>
std::string DeveloperReason(const Words& words) {
    if constexpr (kDeveloperReasons) {
        return words();
    } else {
        return {};
    }
}

// The first fault a reader finds, which is the one it reports. Every step that can find one
// is followed by a look at it, so nothing is read on the strength of a refused part.
class FirstFault {
  public:
    void Fail(std::string why) {
        if (!fault_) {
            fault_.emplace(std::move(why));
        }
    }
    explicit operator bool() const { return fault_.has_value(); }
    const ClipError& operator*() const { return *fault_; }

  private:
    std::optional<ClipError> fault_;
};

}  // namespace clip
