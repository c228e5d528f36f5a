// The text reader's encoding detection: the input is a file's bytes. Whatever encoding is found,
// a read that reports no loss must give the same bytes again when its text is written back in
// that encoding (so a plugin's rewrite that changes nothing leaves the file as it was), and
// writing the text must never be refused then.
#include "base/exceptions.h"
#include "base/text_file.h"
#include "platform/ansi_code_page.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void Detect(const QByteArray& ABytes, const TAnsiCodePage& ACodePage) {
    const TTextFileContent content = DecodeTextBytes(ABytes, &ACodePage);
    if (content.Status != TTextReadStatus::Ok)
        FuzzFinding("bytes in memory read as not ok");
    if (content.Encoding == TTextEncoding::Utf16LE && !LooksLikeUtf16(ABytes))
        FuzzFinding("UTF-16 without a mark found by another test than LooksLikeUtf16");
    if (!LossOnWriteBack(content).isEmpty())
        return;
    QByteArray again;
    try {
        again = EncodeText(content.Text, content.Encoding, &ACodePage);
    } catch (const EqvException& error) {
        FuzzFinding("text read without loss cannot be written back:", error.Message());
    }
    if (again != ABytes)
        FuzzFinding("text read without loss is written back as other bytes:",
                    QString::fromLatin1(ABytes.toHex()) + QStringLiteral(" became ") +
                        QString::fromLatin1(again.toHex()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    static const TAnsiCodePage* const westEuropean = new TAnsiCodePage("CP1252");
    static const TAnsiCodePage* const japanese = new TAnsiCodePage("CP932");
    const QByteArray bytes = FuzzBytes(AData, ASize);
    Detect(bytes, TAnsiCodePage::System());
    Detect(bytes, *westEuropean);
    Detect(bytes, *japanese);
    return 0;
}
