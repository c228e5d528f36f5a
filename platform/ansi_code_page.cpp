#include "platform/ansi_code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

// iconv handles are not thread safe, so every conversion opens its own.
class TIconv {
public:
    TIconv(const char* ATo, const char* AFrom) : FHandle(iconv_open(ATo, AFrom)) {}
    ~TIconv() {
        if (Valid())
            iconv_close(FHandle);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return FHandle; }

private:
    iconv_t FHandle;
};

// Converts one buffer; AOnInvalid decides what happens with an invalid input unit (returns
// false to give up, true after appending a substitute and skipping AUnit bytes).
template <typename OnInvalid>
bool Convert(iconv_t AHandle, const char* AIn, size_t AInLen, size_t AUnit, std::string& AOut,
             OnInvalid AOnInvalid) {
    char* in = const_cast<char*>(AIn);
    size_t inLeft = AInLen;
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(AHandle, &in, &inLeft, &out, &outLeft);
        AOut.append(buffer, static_cast<size_t>(out - buffer));
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (truncated sequence at the end)
        if (!AOnInvalid(AOut))
            return false;
        const size_t skip = inLeft < AUnit ? inLeft : AUnit;
        in += skip;
        inLeft -= skip;
    }
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(AHandle, nullptr, nullptr, &out, &outLeft);
    AOut.append(buffer, static_cast<size_t>(out - buffer));
    return true;
}

QString FromUtf16Bytes(const std::string& ABytes) {
    return QString(reinterpret_cast<const QChar*>(ABytes.data()),
                   static_cast<qsizetype>(ABytes.size() / 2));
}

}  // namespace

TAnsiCodePage::TAnsiCodePage(QByteArray AIconvName) : FName(std::move(AIconvName)) {}

const TAnsiCodePage& TAnsiCodePage::System() {
    static const TAnsiCodePage page = [] {
        const char* env = std::getenv("PLOVANE_ANSI_CODEPAGE");
        QByteArray name = (env != nullptr && *env != '\0') ? QByteArray(env) : "WINDOWS-1252";
        // An unknown name falls back to the default rather than making every conversion fail.
        TIconv probe("UTF-16LE", name.constData());
        if (!probe.Valid())
            name = "WINDOWS-1252";
        return TAnsiCodePage(name);
    }();
    return page;
}

std::optional<QString> TAnsiCodePage::DecodeStrict(const QByteArray& ABytes) const {
    TIconv conv("UTF-16LE", FName.constData());
    if (!conv.Valid())
        return std::nullopt;
    std::string out;
    if (!Convert(conv.Handle(), ABytes.constData(), static_cast<size_t>(ABytes.size()), 1, out,
                 [](std::string&) { return false; }))
        return std::nullopt;
    return FromUtf16Bytes(out);
}

QString TAnsiCodePage::Decode(const QByteArray& ABytes) const {
    TIconv conv("UTF-16LE", FName.constData());
    if (!conv.Valid())
        return QString::fromLatin1(ABytes);
    std::string out;
    Convert(conv.Handle(), ABytes.constData(), static_cast<size_t>(ABytes.size()), 1, out,
            [](std::string& AOut) {
                AOut.append("\xFD\xFF", 2);  // U+FFFD, little-endian
                return true;
            });
    return FromUtf16Bytes(out);
}

QByteArray TAnsiCodePage::Encode(const QString& AText) const {
    TIconv conv(FName.constData(), "UTF-16LE");
    if (!conv.Valid())
        return AText.toLatin1();
    std::string out;
    Convert(conv.Handle(), reinterpret_cast<const char*>(AText.utf16()),
            static_cast<size_t>(AText.size()) * 2, 2, out, [](std::string& AOut) {
                AOut.push_back('?');
                return true;
            });
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}
