// The fuzz entry point of the page packer: the input is packed in every mode. Bytes starting
// with FF FE are taken as UTF-16 little-endian code units (lone surrogates and every control
// character included), anything else as UTF-8. A crash, a sanitizer report or a deletion mark
// left in the result is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

namespace {

QString PageFromBytes(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize >= 2 && AData[0] == 0xFF && AData[1] == 0xFE) {
        QString text;
        text.reserve(qsizetype((ASize - 2) / 2));
        for (std::size_t i = 2; i + 1 < ASize; i += 2)
            text.append(QChar(char16_t(AData[i] | (AData[i + 1] << 8))));
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(AData), qsizetype(ASize));
}

void PackIn(const QString& APage, TqvWPOdetectLanMode AMode, bool ANS4) {
    TqvWebPageOptimizer engine;
    engine.SetDetectLanMode(AMode);
    engine.SetHtml_MakeNS4Comp(ANS4);
    QString text = APage;
    try {
        engine.Parse(text);
    } catch (const EqvTagMatchError&) {
        // A start marker without its end: the text is still checked below.
    }
    if (text.contains(QChar(0x0008))) {
        std::fprintf(stderr, "a deletion mark was left in the result (mode %d)\n", int(AMode));
        std::abort();
    }
    if (engine.CurrentLanguage() != wpoclNone) {
        std::fprintf(stderr, "the language was not restored (mode %d)\n", int(AMode));
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QString page = PageFromBytes(AData, ASize);
    for (const TqvWPOdetectLanMode mode :
         {wpodTryAutoDetect, wpodHtmlMixOnlyDo, wpodCssOnlyDo, wpodPhpDefault, wpodPerlDefault,
          wpodJspDefault, wpodAspVbDefault})
        PackIn(page, mode, true);
    PackIn(page, wpodTryAutoDetect, false);
    return 0;
}
