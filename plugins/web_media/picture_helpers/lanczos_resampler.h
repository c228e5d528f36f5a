#pragma once

#include <QImage>
#include <QSize>

// Resamples a picture with a separable two-pass Lanczos filter of support 3 (weight
// sinc(x)·sinc(x/3) for |x| < 3), sample centres at (i + 0.5) × scale − 0.5, edge pixels
// repeated beyond the border, weights normalised per output pixel. When reducing, the kernel is
// widened by the reduction factor so that the result does not alias. The work is done on 32-bit
// premultiplied pixels, so transparent pixels do not bleed their colour into their neighbours.
// The result is ARGB32_Premultiplied when the source has an alpha channel, otherwise RGB32.
// A null source, an empty target size, or a target whose pixels (or the work buffer) would pass
// the image readers' allocation limit gives a null image.
QImage ResampleLanczos3(const QImage& ASource, const QSize& ATarget);

// The Lanczos-3 weight at distance AX.
double Lanczos3Weight(double AX);
