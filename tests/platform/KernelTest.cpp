#include "platform/Kernel.h"

#include "platform/Gdi.h"
#include "platform/Screen.h"

#include <climits>
#include <gtest/gtest.h>
#include <thread>

namespace platform {
namespace {

TEST(MulDiv, RoundsToNearestWithHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(8, 96, 72), 11);   // 10.67
    EXPECT_EQ(MulDiv(-11, 72, 96), -8); // -8.25
    EXPECT_EQ(MulDiv(10, 96, 72), 13);  // 13.33
    EXPECT_EQ(MulDiv(11, 96, 72), 15);  // 14.67
    EXPECT_EQ(MulDiv(16, 96, 72), 21);  // 21.33
    EXPECT_EQ(MulDiv(24, 96, 72), 32);
    EXPECT_EQ(MulDiv(-21, 72, 96), -16); // -15.75
    EXPECT_EQ(MulDiv(-32, 72, 96), -24);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);   // 1.5 up
    EXPECT_EQ(MulDiv(-3, 1, 2), -2); // -1.5 away from zero
    EXPECT_EQ(MulDiv(3, 1, -2), -2);
    EXPECT_EQ(MulDiv(-3, -1, 2), 2);
    EXPECT_EQ(MulDiv(5, 1, 4), 1); // 1.25 down
}

TEST(MulDiv, UsesSixtyFourBitIntermediates) {
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(INT_MIN, INT_MIN, INT_MIN), INT_MIN);
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);
}

TEST(MulDiv, ZeroDenominatorAndOverflowGiveMinusOne) {
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1); // 2^31 does not fit
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_INVALID_PARAMETER);
    uint32_t seenByOther = 1234;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    });
    other.join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(LastError, EveryDeclaredCodeHasAText) {
    for (uint32_t code : {ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
                          ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER,
                          ERROR_CLIPBOARD_NOT_OPEN, ERROR_INVALID_BITMAP}) {
        EXPECT_FALSE(SystemErrorText(code).empty()) << code;
    }
    EXPECT_TRUE(SystemErrorText(999999).empty());
}

TEST(TickCount, AdvancesWithTime) {
    const uint32_t before = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uint32_t elapsed = GetTickCount() - before; // wraps correctly in unsigned arithmetic
    EXPECT_GE(elapsed, 15u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Screen, DefaultsToATrueColourDisplayWithClassicColours) {
    EXPECT_EQ(Screen().bitsPerPixel, 32);
    EXPECT_EQ(Screen().planes, 1);
    EXPECT_EQ(Screen().pixelsPerInch, 96);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), 0x000000u);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0xFFFFFFu);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), 0x00C0C0C0u);
    EXPECT_EQ(GetSysColor(COLOR_APPWORKSPACE), 0x00808080u);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(0, 0, 128));
    EXPECT_EQ(GetSysColor(-1), 0u);
    EXPECT_EQ(GetSysColor(COLOR_INFOBK + 1), 0u);
}

TEST(Screen, APaletteDisplayChangesTheReportedCapabilities) {
    const ScreenDescription saved = Screen();
    SetScreenForTesting(ScreenDescription{8, 1, 120, 800, 600});
    DeviceContext& screen = GetScreenDC();
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 8);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 120);
    EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, RC_PALETTE);
    EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 256);
    EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), 20);
    HDC dc = CreateCompatibleDC(nullptr);
    HPALETTE palette = CreateHalftonePalette(dc.get());
    SelectPalette(*dc, *palette, false);
    EXPECT_EQ(RealizePalette(*dc), 256u);
    // Compatible bitmaps keep the 32-bit screen format whatever the display reports.
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
    BITMAP bm;
    GetObject(*bitmap, bm);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    SetScreenForTesting(saved);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 0);
}

} // namespace
} // namespace platform
