#include "plugins/web_media/picture_helpers/lanczos_resampler.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double KSupport = 3.0;

double Sinc(double AX) {
    if (AX == 0.0)
        return 1.0;
    const double a = std::numbers::pi * AX;
    return std::sin(a) / a;
}

// The taps of one output position along one axis: the first source index and the normalised
// weights of consecutive source indices (edge indices clamped into the source).
struct TTaps {
    std::vector<int> Start;     // per output position, index into Index/Weight
    std::vector<int> Count;     // taps per output position
    std::vector<int> Index;     // source index of each tap (already clamped)
    std::vector<float> Weight;  // normalised weight of each tap
};

TTaps MakeTaps(int ASourceLength, int ATargetLength) {
    TTaps taps;
    const double scale = static_cast<double>(ASourceLength) / ATargetLength;
    const double stretch = std::max(scale, 1.0);  // the kernel widens when reducing
    const double reach = KSupport * stretch;
    taps.Start.resize(ATargetLength);
    taps.Count.resize(ATargetLength);
    std::vector<double> raw;
    for (int i = 0; i < ATargetLength; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int first = static_cast<int>(std::floor(centre - reach)) + 1;
        const int last = static_cast<int>(std::ceil(centre + reach)) - 1;
        raw.clear();
        double sum = 0.0;
        for (int j = first; j <= last; ++j) {
            const double weight = Lanczos3Weight((j - centre) / stretch);
            raw.push_back(weight);
            sum += weight;
        }
        taps.Start[i] = static_cast<int>(taps.Index.size());
        taps.Count[i] = static_cast<int>(raw.size());
        for (int j = first; j <= last; ++j) {
            taps.Index.push_back(std::clamp(j, 0, ASourceLength - 1));
            taps.Weight.push_back(static_cast<float>(raw[static_cast<std::size_t>(j - first)] /
                                                     (sum == 0.0 ? 1.0 : sum)));
        }
    }
    return taps;
}

quint8 ToByte(float AValue) {
    return static_cast<quint8>(std::clamp(std::lround(AValue), 0L, 255L));
}

}  // namespace

double Lanczos3Weight(double AX) {
    const double x = std::fabs(AX);
    if (x >= KSupport)
        return 0.0;
    return Sinc(x) * Sinc(x / KSupport);
}

QImage ResampleLanczos3(const QImage& ASource, const QSize& ATarget) {
    if (ASource.isNull() || ATarget.isEmpty())
        return {};
    const bool alpha = ASource.hasAlphaChannel();
    const QImage::Format format =
        alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const QImage source = ASource.convertToFormat(format);
    const int sw = source.width();
    const int sh = source.height();
    const int tw = ATarget.width();
    const int th = ATarget.height();
    // The same limit as the image readers keep (0: none), for the result and the work buffer.
    const qint64 limit = static_cast<qint64>(QImageReader::allocationLimit()) * 1024 * 1024;
    const qint64 resultBytes = static_cast<qint64>(tw) * th * 4;
    const qint64 bufferBytes =
        static_cast<qint64>(tw) * sh * 4 * static_cast<qint64>(sizeof(float));
    if (limit > 0 && (resultBytes > limit || bufferBytes > limit))
        return {};
    QImage target(tw, th, format);
    if (target.isNull())
        return {};
    const TTaps horizontal = MakeTaps(sw, tw);
    const TTaps vertical = MakeTaps(sh, th);

    // First pass: every source row to the target width, kept in floats so that the second pass
    // adds no rounding of its own. Four channels per pixel in the byte order B, G, R, A of the
    // 32-bit pixel value.
    std::vector<float> rows(static_cast<std::size_t>(tw) * sh * 4);
    for (int y = 0; y < sh; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        float* out = rows.data() + static_cast<std::size_t>(y) * tw * 4;
        for (int x = 0; x < tw; ++x) {
            float b = 0, g = 0, r = 0, a = 0;
            const int start = horizontal.Start[x];
            for (int k = 0; k < horizontal.Count[x]; ++k) {
                const QRgb pixel = line[horizontal.Index[start + k]];
                const float w = horizontal.Weight[start + k];
                b += w * static_cast<float>(qBlue(pixel));
                g += w * static_cast<float>(qGreen(pixel));
                r += w * static_cast<float>(qRed(pixel));
                a += w * static_cast<float>(qAlpha(pixel));
            }
            out[x * 4 + 0] = b;
            out[x * 4 + 1] = g;
            out[x * 4 + 2] = r;
            out[x * 4 + 3] = a;
        }
    }

    // Second pass: the columns to the target height.
    std::vector<float> sums(static_cast<std::size_t>(tw) * 4);
    for (int y = 0; y < th; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        const int start = vertical.Start[y];
        for (int k = 0; k < vertical.Count[y]; ++k) {
            const float w = vertical.Weight[start + k];
            const float* in =
                rows.data() + static_cast<std::size_t>(vertical.Index[start + k]) * tw * 4;
            for (int c = 0; c < tw * 4; ++c)
                sums[c] += w * in[c];
        }
        QRgb* line = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = 0; x < tw; ++x) {
            const quint8 a = alpha ? ToByte(sums[x * 4 + 3]) : 255;
            // A premultiplied colour cannot exceed its alpha (the negative lobes can overshoot).
            const auto channel = [&](int AIndex) {
                return std::min(ToByte(sums[x * 4 + AIndex]), a);
            };
            line[x] = qRgba(channel(2), channel(1), channel(0), a);
        }
    }
    return target;
}
