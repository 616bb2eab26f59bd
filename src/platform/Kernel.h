// Small kernel services: MulDiv, the tick count, and the last-error code with its text.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// number * numerator / denominator in 64-bit arithmetic, rounded to the nearest integer with
// halves away from zero; -1 when the denominator is 0 or the result does not fit.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t GetTickCount();

// Error codes of the layer (the platform's numbering where one exists).
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_CLIPBOARD_NOT_OPEN = 1418;
constexpr uint32_t ERROR_INVALID_BITMAP = 1439;

// Per thread, as on the platform.
uint32_t GetLastError();
void SetLastError(uint32_t code);
// The system's text for an error code; empty when there is none.
std::string SystemErrorText(uint32_t code);

} // namespace platform
