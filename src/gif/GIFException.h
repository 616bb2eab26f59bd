// The GIF reader's exception and the fixed texts of its errors and warnings.
#pragma once

#include "graphics/Exceptions.h"

#include <string>

namespace gif {

class GIFException : public graphics::EInvalidGraphic {
  public:
    using graphics::EInvalidGraphic::EInvalidGraphic;
};

// Errors: they end the load.
inline constexpr const char* sInvalidGIFSignature = "Invalid GIF signature";
inline constexpr const char* sPrematureEnd = "Premature end of data";
inline constexpr const char* sUnknownExtension = "Unknown extension type";
inline constexpr const char* sInvalidExtensionIntroducer = "Invalid extension introducer";
inline constexpr const char* sExtensionLabelMismatch =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* sUnsupportedAppBlockSize =
    "Unsupported Application Extension block size";
inline constexpr const char* sInvalidData = "Invalid GIF data";
inline constexpr const char* sCircularTableEntry = "Circular decoder table entry";
inline constexpr const char* sInvalidCodeSize = "Invalid LZW minimum code size";
inline constexpr const char* sNoColorTable = "No global or local color table defined";
// A picture larger than the shared pixel limit.
inline constexpr const char* sImageNotValid = "GIF image is not valid";

// Warnings: reported with severity 1, the load goes on.
inline constexpr int kWarningSeverity = 1;
inline constexpr const char* sUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* sImageExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* sInvalidTrailer = "Invalid Image trailer";
inline constexpr const char* sBitBufferUnderrun = "Decoder bit buffer under-run";

} // namespace gif
