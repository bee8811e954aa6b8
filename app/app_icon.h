// The application's icon: a small receipt printer with paper coming out.
// Drawn in code so that the window's icon and the installed PNG files come
// from one drawing (tools/icon_gen renders the files).
#pragma once

class QPainter;

namespace deveder {

// Paints the icon into a square of `size` pixels at the painter's origin.
void PaintAppIcon(QPainter& p, int size);

}  // namespace deveder
