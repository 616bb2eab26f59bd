// The picture dialogs' filter once the program has started: every format-list entry, newest
// first, led by "All". The table test and the window test both pin it.
#pragma once

namespace testsupport {

inline constexpr const char* kStartedPictureFilter =
    "All (*.jpg;*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|"
    "*.jpg;*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf|"
    "Jpeg file (*.jpg)|*.jpg|"
    "GIF Image (*.gif)|*.gif|"
    "JPEG Image File (*.jpg)|*.jpg|"
    "JPEG Image File (*.jpeg)|*.jpeg|"
    "Bitmaps (*.bmp)|*.bmp|"
    "Icons (*.ico)|*.ico|"
    "Enhanced Metafiles (*.emf)|*.emf|"
    "Metafiles (*.wmf)|*.wmf";

} // namespace testsupport
