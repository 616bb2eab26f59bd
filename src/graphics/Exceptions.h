// The exception classes of the graphics layer and of the readers built on it. Every failure is
// an exception carrying a fixed message text; the application's default handler shows it.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <string>

namespace graphics {

// The common root, defined below the graphics layer (see platform/Exception.h).
using Exception = platform::Exception;

// Silent: the default handler drops it without a message.
class EAbort : public Exception {
  public:
    using Exception::Exception;
};

class EInvalidOperation : public Exception {
  public:
    using Exception::Exception;
};

class EInvalidGraphic : public Exception {
  public:
    using Exception::Exception;
};

class EInvalidGraphicOperation : public Exception {
  public:
    using Exception::Exception;
};

class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

class EOutOfResources : public Exception {
  public:
    using Exception::Exception;
};

class EStreamError : public Exception {
  public:
    using Exception::Exception;
};

class EReadError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EFOpenError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

// A platform call failed with an error code.
class EOSError : public Exception {
  public:
    EOSError(std::string message, uint32_t code) : Exception(std::move(message)), code_(code) {}
    uint32_t ErrorCode() const noexcept { return code_; }

  private:
    uint32_t code_;
};

// The platform refused to create a device context, bitmap or DIB section: EOutOfResources with
// the text of the last error code, or "Out of system resources" when there is no code or text.
[[noreturn]] void RaiseOutOfResources();

// A platform call failed: EOSError "System Error.  Code: %d.\r\n%s" with the last error code and
// its text; with no error code at all EInvalidGraphic "Bitmap image is not valid" (the readers'
// rule for a bitmap the platform could not make).
[[noreturn]] void RaiseBitmapCreationError();

} // namespace graphics
