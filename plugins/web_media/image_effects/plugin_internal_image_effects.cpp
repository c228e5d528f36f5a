#include "plugins/web_media/image_effects/plugin_internal_image_effects.h"

#include <QFileInfo>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/web_media/image_effects/disabled_glyph.h"
#include "plugins/web_media/picture_helpers/lanczos_resampler.h"
#include "plugins/web_media/picture_helpers/picture_file.h"

namespace {

const QString KPropSimpleEffects = QStringLiteral("SimpleEffects");
const QString KPropAdvancedFeatures = QStringLiteral("AdvancedFeatures");
const QString KChoiceDisabled = QStringLiteral("CONVERT_TO_DISABLED");
const QString KChoiceCombine = QStringLiteral("COMBINE_EFFECTS_GLYPHS");

// The extension as the disabled look tests it: the text after the name's last dot.
QString NameExtension(const QString& APath) {
    const QString name = APath.mid(APath.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

}  // namespace

TPluginInternal_ImageEffects::TPluginInternal_ImageEffects()
    : FInfo(MakeInternalPluginInfo(QStringLiteral("ImageEffects"),
                                   QStringLiteral("Can perform certain operations and effects on "
                                                  "images. (including generating thumbnails)"),
                                   QStringLiteral("1.04"))) {
    FInfo.HasCompany = QStringLiteral("Kestrin");
    FInfo.SuggestedExts = QStringLiteral(".bmp,.jpg,.gif,.pcx,.png");
    FInfo.PluginCategory = pcMediaHandling;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

void TPluginInternal_ImageEffects::PluginSetupInit(const TExeInfoHost&,
                                                   IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(KPropSimpleEffects, QStringLiteral("Simple Effects"),
                               vtpChoiceMultiple, 0, {}, {});
    ACallbacks.ExeMakePropName(
        KPropAdvancedFeatures, QStringLiteral("Advanced Features"), vptFile, 0,
        QStringLiteral("Compress, resize, and create thumbnails of images"), {});
}

void TPluginInternal_ImageEffects::PluginSetupPreEdit(const TExeInfoHost&,
                                                      IExePreEditCallbacks& ACallbacks) {
    ACallbacks.ExeSetPropChoiceValueCount(KPropSimpleEffects, 2);
    ACallbacks.ExeAddPropChoiceValue(KPropSimpleEffects, KChoiceDisabled,
                                     QStringLiteral("Convert images to a \"disabled\" look"),
                                     false);
    ACallbacks.ExeAddPropChoiceValue(
        KPropSimpleEffects, KChoiceCombine,
        QStringLiteral("Combine effects \"side-by-side\" with original for creating glyphs"),
        false);
    ACallbacks.ExeSetPropDefaultFileValue(KPropAdvancedFeatures, QStringLiteral("dao.ini"),
                                          KFileFlagIni);
}

void TPluginInternal_ImageEffects::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                        IExeWorkCallbacks& ACallbacks) {
    FCallbacks = &ACallbacks;
}

void TPluginInternal_ImageEffects::PluginSetupWorkEnd(const TExeInfoHost&) {
    FCallbacks = nullptr;
}

void TPluginInternal_ImageEffects::PluginSetPropChoiceValueCount(const QString& APropName,
                                                                 std::int32_t) {
    if (APropName != KPropSimpleEffects)
        return;
    FConvertToDisabled = false;
    FCombineEffectsGlyphs = false;
}

void TPluginInternal_ImageEffects::PluginSetPropChoiceValue(const QString& APropName,
                                                            const QString& AChoiceID) {
    if (APropName != KPropSimpleEffects)
        return;
    if (AChoiceID == KChoiceDisabled)
        FConvertToDisabled = true;
    else if (AChoiceID == KChoiceCombine)
        FCombineEffectsGlyphs = true;
}

void TPluginInternal_ImageEffects::PluginSetPropFileValue(const QString& APropName,
                                                          const QString& AFullFilePathName) {
    if (APropName == KPropAdvancedFeatures)
        FSettings = TImageEffectsSettings::FromIni(TIniDocument::FromFile(AFullFilePathName));
}

void TPluginInternal_ImageEffects::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr && !AMessage.isEmpty())
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

QString TPluginInternal_ImageEffects::ApplyDisabledLook(const QString& APath) const {
    if (NameExtension(APath) != QStringLiteral("bmp"))
        return QStringLiteral("Only bitmaps \"bmp\" are supported for this operation.");
    const std::lock_guard lock(FEffectLock);
    TPictureFile bitmap(APath);
    const QImage source = bitmap.Read();
    if (source.isNull())
        return bitmap.ErrorString();
    const QImage effect = MakeDisabledGlyph(source, FCombineEffectsGlyphs);
    QString error;
    // The effect image replaces the file whole, or the file stays as it was.
    if (!WritePictureFile(effect, APath, 100, &error))
        return QStringLiteral("Could not delete \"") + APath + QStringLiteral("\". ") + error;
    return {};
}

QString TPluginInternal_ImageEffects::MakeResizedCopy(const QString& APath) const {
    const QString destination =
        PictureCopyPath(APath, FSettings.PicturesNamePrepend, FSettings.PicturesExt);
    if (FSettings.PicturesIgnoreIfExists && QFileInfo::exists(destination))
        return {};
    // Special files are never opened; a directory is no picture either.
    if (!QFileInfo(APath).isFile())
        return {};
    TPictureFile picture(APath);
    // A file no reader takes for a picture is no concern of this plugin. One that is taken for
    // a picture (by its content or by its name) but cannot be decoded whole is damaged: said,
    // and nothing is made from it (which with an empty prefix also keeps the original).
    const auto damaged = [&] {
        return QStringLiteral("The picture \"") + APath +
               QStringLiteral("\" could not be read completely; nothing was made from it: ") +
               (picture.ErrorString().isEmpty() ? QStringLiteral("no reader could decode it")
                                                : picture.ErrorString());
    };
    if (!picture.IsPicture())
        return picture.RecognisedByContent() || HasPictureExtension(APath) ? damaged() : QString();
    const QSize target = PictureTargetSize(picture.DisplayedSize(), FSettings.PicturesWidth,
                                           FSettings.PicturesHeight);
    // The decoder may hand a reduced picture, never below twice the target: from there the
    // filter gives what it gives from the whole picture.
    const QImage source = picture.Read(target * 2);
    if (source.isNull())
        return damaged();
    const QImage resized = source.size() == target ? source : ResampleLanczos3(source, target);
    if (resized.isNull())
        return QStringLiteral("The resized picture \"") + destination +
               QStringLiteral("\" could not be made: %1 by %2 pixels is too large.")
                   .arg(target.width())
                   .arg(target.height());
    QString error;
    if (!WritePictureFile(resized, destination, FSettings.PicturesQuality, &error))
        return QStringLiteral("The resized picture \"") + destination +
               QStringLiteral("\" could not be written: ") + error;
    return {};
}

void TPluginInternal_ImageEffects::PluginWorkPath(const QString& AWorkPathNameIn,
                                                  TWorkPathOutput&) {
    if (FConvertToDisabled) {
        try {
            Report(ApplyDisabledLook(AWorkPathNameIn));
        } catch (const std::exception& e) {
            Report(ExceptionMessage(e));
        }
    }
    if (FSettings.PicturesMake) {
        try {
            Report(MakeResizedCopy(AWorkPathNameIn));
        } catch (const std::exception& e) {
            Report(ExceptionMessage(e));
        }
    }
}
