#pragma once

#include <QImage>

// The "disabled" look of a toolbar glyph. The source is copied into a 24-bit working image whose
// transparent colour is the colour of its lower-left pixel; every other pixel belongs to the
// glyph. The disabled image is a canvas of the transparent colour on which the glyph's darker
// pixels are drawn embossed: a white highlight one pixel down and right, then the grey shadow in
// place. The result is a 24-bit image of the transparent colour holding the disabled image, or,
// with ACombine, the working image on the left and the disabled image on its right (twice the
// width). A null source gives a null image.
QImage MakeDisabledGlyph(const QImage& ASource, bool ACombine);
