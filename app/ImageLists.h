// The images the window draws, loaded from the program's resources.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tavrin {

// The cell-state images, 16 x 16: 0 a grant is staged (green plus), 1 a
// revocation is staged (red cross), 2 unreadable or failed (red disc with a
// white bar), 3 the right is held (green tick).
constexpr int StateImageCount = 4;
const QPixmap& StateImage(int index);

// The action images, 16 x 16: 0 add computer, 1 remove computer, 2 update
// the list, 3 commit, 4 discard, 5 refresh, 6 contents, 7 home page, 8 about.
constexpr int ActionImageCount = 9;
QIcon ActionImage(int index);

QPixmap ProductLogo();    // 96 x 96
QPixmap LibraryLogo();    // 32 x 32
QIcon ApplicationIcon();  // 16, 32 and 48

}  // namespace tavrin
