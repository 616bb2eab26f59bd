// Graphics objects in static storage are destroyed at exit, after main returns, in the reverse
// order of their construction. The platform's stock objects, the screen context and the font
// caches are made on first use, later than such an object, so they must outlive it regardless:
// this program ends with a static bitmap and a static picture that still hold canvases, drawn
// with text, pens and brushes. Run under AddressSanitizer it reports any use of freed memory
// while they are destroyed; a clean exit is the test.
#include "graphics/Bitmap.h"
#include "graphics/Picture.h"

#include <gtest/gtest.h>

namespace {

// Constructed before main, before any stock object or cache exists.
graphics::TBitmap staticCard;
graphics::TPicture staticPicture;

void DrawOn(graphics::TCanvas& canvas) {
    canvas.Font().SetName("MS Sans Serif");
    canvas.Font().SetSize(12);
    canvas.Pen().SetWidth(2);
    canvas.Brush().SetColor(graphics::clYellow);
    canvas.FillArea({0, 0, 40, 20});
    canvas.DrawTextAt(2, 2, "DL1ABC");
    canvas.DrawLineTo(60, 40);
}

TEST(StaticGraphics, KeepTheirCanvasesUntilExit) {
    staticCard.SetSize(80, 50);
    DrawOn(staticCard.Canvas());
    DrawOn(staticPicture.Bitmap().Canvas());
    EXPECT_EQ(staticCard.Width(), 80);
    EXPECT_TRUE(staticCard.HasCanvas());
    EXPECT_TRUE(staticPicture.Bitmap().HasCanvas());
}

} // namespace
