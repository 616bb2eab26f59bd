// The root of the program's exceptions: a fixed message text that the application's default
// handler shows. It lives at the bottom layer so that libraries above the platform which need no
// pictures (the station profile) can raise exceptions without linking the graphics library.
#pragma once

#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

} // namespace platform
