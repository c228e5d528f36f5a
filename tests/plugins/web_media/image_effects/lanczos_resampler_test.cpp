#include "plugins/web_media/picture_helpers/lanczos_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

// An independent Lanczos-3 resampling for comparison: every output pixel is the normalised sum
// of the two-dimensional weights over all source pixels in reach, in double precision, without
// tables or separate passes. Channels of premultiplied pixels, order B, G, R, A.
double ReferenceSinc(double AX) {
    return AX == 0.0 ? 1.0 : std::sin(std::numbers::pi * AX) / (std::numbers::pi * AX);
}

double ReferenceKernel(double AX) {
    return std::fabs(AX) < 3.0 ? ReferenceSinc(AX) * ReferenceSinc(AX / 3.0) : 0.0;
}

std::vector<double> ReferencePixel(const QImage& APremultiplied, const QSize& ATarget, int AX,
                                   int AY) {
    const double sx = static_cast<double>(APremultiplied.width()) / ATarget.width();
    const double sy = static_cast<double>(APremultiplied.height()) / ATarget.height();
    const double fx = std::max(sx, 1.0);
    const double fy = std::max(sy, 1.0);
    const double cx = (AX + 0.5) * sx - 0.5;
    const double cy = (AY + 0.5) * sy - 0.5;
    std::vector<double> sum(4, 0.0);
    double total = 0.0;
    for (int j = static_cast<int>(std::floor(cy - 3 * fy)); j <= std::ceil(cy + 3 * fy); ++j) {
        const double wy = ReferenceKernel((j - cy) / fy);
        const int row = std::clamp(j, 0, APremultiplied.height() - 1);
        for (int i = static_cast<int>(std::floor(cx - 3 * fx)); i <= std::ceil(cx + 3 * fx); ++i) {
            const double w = wy * ReferenceKernel((i - cx) / fx);
            const QRgb p = APremultiplied.pixel(std::clamp(i, 0, APremultiplied.width() - 1), row);
            sum[0] += w * qBlue(p);
            sum[1] += w * qGreen(p);
            sum[2] += w * qRed(p);
            sum[3] += w * qAlpha(p);
            total += w;
        }
    }
    for (double& value : sum)
        value = std::clamp(value / total, 0.0, 255.0);
    return sum;
}

QImage NoiseImage(int AWidth, int AHeight, bool AAlpha, unsigned ASeed) {
    std::mt19937 random(ASeed);
    QImage image(AWidth, AHeight, AAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x) {
            const int a = AAlpha ? static_cast<int>(random() % 256) : 255;
            image.setPixel(x, y,
                           qRgba(static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                                 static_cast<int>(random() % 256), a));
        }
    return image;
}

struct TResampleCase {
    const char* Name;
    QSize Source;
    QSize Target;
    bool Alpha;
};

class LanczosReferenceTest : public ::testing::TestWithParam<TResampleCase> {};

TEST_P(LanczosReferenceTest, MatchesTheDirectTwoDimensionalSumWithinOneLevel) {
    const TResampleCase& c = GetParam();
    const QImage source = NoiseImage(c.Source.width(), c.Source.height(), c.Alpha, 7);
    const QImage result = ResampleLanczos3(source, c.Target);
    ASSERT_EQ(result.size(), c.Target);
    EXPECT_EQ(result.hasAlphaChannel(), c.Alpha);
    const QImage premultiplied = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage got = result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double worst = 0.0;
    for (int y = 0; y < c.Target.height(); ++y)
        for (int x = 0; x < c.Target.width(); ++x) {
            const std::vector<double> expected = ReferencePixel(premultiplied, c.Target, x, y);
            const QRgb p = got.pixel(x, y);
            const double channels[4] = {
                static_cast<double>(qBlue(p)), static_cast<double>(qGreen(p)),
                static_cast<double>(qRed(p)), static_cast<double>(qAlpha(p))};
            for (int k = 0; k < 4; ++k) {
                // A premultiplied colour is capped by its alpha in the result.
                const double want = k < 3 ? std::min(expected[k], expected[3]) : expected[3];
                worst = std::max(worst, std::fabs(channels[k] - want));
            }
        }
    EXPECT_LE(worst, 1.0) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(Sizes, LanczosReferenceTest,
                         ::testing::Values(TResampleCase{"reduce", {37, 23}, {11, 7}, false},
                                           TResampleCase{"reduce much", {64, 48}, {5, 4}, false},
                                           TResampleCase{"enlarge", {9, 7}, {31, 17}, false},
                                           TResampleCase{"mixed", {20, 30}, {33, 12}, false},
                                           TResampleCase{
                                               "reduce with alpha", {30, 20}, {13, 9}, true},
                                           TResampleCase{"one pixel", {1, 1}, {3, 2}, false}),
                         [](const auto& AInfo) {
                             std::string name = AInfo.param.Name;
                             for (char& c : name)
                                 if (c == ' ')
                                     c = '_';
                             return name;
                         });

TEST(LanczosResampler, KernelAndEdgeCases) {
    EXPECT_DOUBLE_EQ(Lanczos3Weight(0.0), 1.0);
    EXPECT_NEAR(Lanczos3Weight(1.0), 0.0, 1e-12);
    EXPECT_NEAR(Lanczos3Weight(0.5), ReferenceKernel(0.5), 1e-12);
    EXPECT_NEAR(Lanczos3Weight(-1.5), ReferenceKernel(1.5), 1e-12);
    EXPECT_EQ(Lanczos3Weight(3.0), 0.0);
    EXPECT_EQ(Lanczos3Weight(-4.0), 0.0);
    EXPECT_TRUE(ResampleLanczos3(QImage(), {4, 4}).isNull());
    EXPECT_TRUE(ResampleLanczos3(NoiseImage(4, 4, false, 1), {0, 4}).isNull());
    // The same size is the same picture: the kernel is zero at every other whole distance.
    const QImage source = NoiseImage(13, 9, false, 3);
    EXPECT_EQ(ResampleLanczos3(source, source.size()),
              source.convertToFormat(QImage::Format_RGB32));
}

TEST(LanczosResampler, TransparentPixelsDoNotBleedTheirColour) {
    // Left half fully transparent pure red, right half opaque blue: working on straight alpha
    // would pull red into the blue border pixels.
    QImage source(16, 4, QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x)
            source.setPixel(x, y, x < 8 ? qRgba(255, 0, 0, 0) : qRgba(0, 0, 255, 255));
    const QImage result = ResampleLanczos3(source, {6, 2}).convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < 6; ++x) {
        const QRgb p = result.pixel(x, 0);
        if (qAlpha(p) > 16) {
            EXPECT_LE(qRed(p), 8) << "column " << x << " alpha " << qAlpha(p);
        }
    }
}

}  // namespace
