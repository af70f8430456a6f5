// The programs' one exception type: a text for the user. It keeps the text itself, since
// std::runtime_error keeps it in the C++ runtime's copy-on-write string, and linking that
// second string implementation into each program costs some 60 KB.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace base {

class Error : public std::exception {
  public:
    explicit Error(std::string text) : text_(std::move(text)) {}
    const char* what() const noexcept override { return text_.c_str(); }

  private:
    std::string text_;
};

}  // namespace base
