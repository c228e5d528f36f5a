#include "plugins/web_media/image_effects/disabled_glyph.h"

#include <cstring>

namespace {

// Glyph pixels lighter than this are left out of the disabled drawing, as on a toolbar, where
// the light parts of a glyph vanish into the button face.
constexpr int KLightLevel = 192;

bool IsDark(QRgb APixel) {
    return qGray(APixel) < KLightLevel;
}

}  // namespace

QImage MakeDisabledGlyph(const QImage& ASource, bool ACombine) {
    if (ASource.isNull())
        return {};
    const QImage working = ASource.convertToFormat(QImage::Format_RGB888);
    const int w = working.width();
    const int h = working.height();
    const QRgb transparent = working.pixel(0, h - 1);

    QImage disabled(w, h, QImage::Format_RGB888);
    disabled.fill(transparent);
    const QRgb highlight = qRgb(255, 255, 255);
    const QRgb shadow = qRgb(128, 128, 128);
    const auto drawn = [&](int AX, int AY) {
        const QRgb pixel = working.pixel(AX, AY);
        return pixel != transparent && IsDark(pixel);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (drawn(x, y) && x + 1 < w && y + 1 < h)
                disabled.setPixel(x + 1, y + 1, highlight);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (drawn(x, y))
                disabled.setPixel(x, y, shadow);

    if (!ACombine)
        return disabled;
    QImage combined(2 * w, h, QImage::Format_RGB888);
    const auto rowBytes = static_cast<std::size_t>(w) * 3;
    for (int y = 0; y < h; ++y) {
        std::memcpy(combined.scanLine(y), working.constScanLine(y), rowBytes);
        std::memcpy(combined.scanLine(y) + rowBytes, disabled.constScanLine(y), rowBytes);
    }
    return combined;
}
