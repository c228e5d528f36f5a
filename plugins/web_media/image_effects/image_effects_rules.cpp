#include "plugins/web_media/image_effects/image_effects_rules.h"

#include <algorithm>

#include "base/ini_document.h"
#include "base/text_file.h"
#include "plugins/web_media/picture_helpers/half_even.h"

namespace {

const QString KSection = QStringLiteral("GalleryOptions");

int ReadSide(const TIniDocument& AIni, const QString& AKey) {
    const int value = AIni.ReadInteger(KSection, AKey, -1);
    return value < 0 ? -1 : value;
}

}  // namespace

TImageEffectsSettings TImageEffectsSettings::FromIni(const TIniDocument& AIni) {
    TImageEffectsSettings settings;
    settings.PicturesMake = ReadIniBool(AIni, KSection, QStringLiteral("PicturesMake"), false);
    settings.PicturesExt = AIni.ReadString(KSection, QStringLiteral("PicturesExt")).trimmed();
    settings.PicturesWidth = ReadSide(AIni, QStringLiteral("PicturesWidth"));
    settings.PicturesHeight = ReadSide(AIni, QStringLiteral("PicturesHeight"));
    settings.PicturesNamePrepend =
        AIni.ReadString(KSection, QStringLiteral("PicturesNamePrepend"), QStringLiteral("thumb-"))
            .trimmed();
    settings.PicturesQuality =
        std::clamp(AIni.ReadInteger(KSection, QStringLiteral("PicturesQuality"), 100), 1, 100);
    settings.PicturesIgnoreIfExists =
        ReadIniBool(AIni, KSection, QStringLiteral("PicturesIgnoreIfExists"), false);
    return settings;
}

QSize PictureTargetSize(const QSize& ASource, int AWidth, int AHeight) {
    const qint64 w = std::max(ASource.width(), 1);
    const qint64 h = std::max(ASource.height(), 1);
    qint64 width = w;
    qint64 height = h;
    if (AWidth >= 0 && AHeight >= 0) {
        width = AWidth;
        height = AHeight;
    } else if (AHeight >= 0) {
        height = AHeight;
        width = DivideRoundHalfEven(AHeight * w, h);
    } else if (AWidth >= 0) {
        width = AWidth;
        height = DivideRoundHalfEven(AWidth * h, w);
    }
    const auto side = [](qint64 AValue) {
        return static_cast<int>(std::clamp<qint64>(AValue, 1, 1 << 30));
    };
    return {side(width), side(height)};
}

QString PictureCopyPath(const QString& APath, const QString& APrefix, const QString& AExtension) {
    const qsizetype slash = APath.lastIndexOf(u'/');
    const QString folder = APath.left(slash + 1);
    QString name = APath.mid(slash + 1);
    if (!APrefix.isEmpty() && !name.startsWith(APrefix))
        name = APrefix + name;
    if (!AExtension.isEmpty()) {
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot >= 0)
            name.truncate(dot);
        // An extension given without its dot still names an extension.
        name += AExtension.startsWith(u'.') ? AExtension : u'.' + AExtension;
    }
    return folder + name;
}
