#include "platform/Kernel.h"

#include <chrono>
#include <cstdlib>
#include <limits>

namespace platform {

int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator) {
    if (denominator == 0) {
        return -1;
    }
    const int64_t product = int64_t(number) * int64_t(numerator);
    const bool negative = (product < 0) != (denominator < 0);
    // |product| <= 2^62, so twice it plus |denominator| still fits in 64 unsigned bits; adding
    // half the divisor before dividing rounds halves away from zero.
    const uint64_t magnitude = product < 0 ? uint64_t(-(product + 1)) + 1 : uint64_t(product);
    const uint64_t divisor =
        denominator < 0 ? uint64_t(-(int64_t(denominator))) : uint64_t(denominator);
    const uint64_t quotient = (2 * magnitude + divisor) / (2 * divisor);
    if (!negative && quotient > uint64_t(std::numeric_limits<int32_t>::max())) {
        return -1;
    }
    if (negative && quotient > uint64_t(std::numeric_limits<int32_t>::max()) + 1) {
        return -1;
    }
    return negative ? int32_t(-int64_t(quotient)) : int32_t(quotient);
}

uint32_t GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return uint32_t(uint64_t(ms));
}

namespace {
thread_local uint32_t lastError = ERROR_SUCCESS;
}

uint32_t GetLastError() {
    return lastError;
}

void SetLastError(uint32_t code) {
    lastError = code;
}

std::string SystemErrorText(uint32_t code) {
    switch (code) {
    case ERROR_SUCCESS:
        return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND:
        return "The system cannot find the file specified.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_INVALID_HANDLE:
        return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "Not enough memory resources are available to process this command.";
    case ERROR_INVALID_PARAMETER:
        return "The parameter is incorrect.";
    case ERROR_CLIPBOARD_NOT_OPEN:
        return "Thread does not have a clipboard open.";
    case ERROR_INVALID_BITMAP:
        return "The bitmap is not valid.";
    default:
        return {};
    }
}

} // namespace platform
