// Feeds files through a fuzz entry point without libFuzzer: every file named, and every file in
// every folder named, once. Used by the test suite to run the seed corpora in any build (also
// with gcc, which has no libFuzzer).
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize);

namespace {

bool Feed(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(APath));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           std::size_t(bytes.size()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int fed = 0;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(path).isDir()) {
            const QDir dir(path);
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
                if (!Feed(dir.filePath(name)))
                    return 1;
                ++fed;
            }
        } else {
            if (!Feed(path))
                return 1;
            ++fed;
        }
    }
    std::printf("%d inputs fed\n", fed);
    return fed > 0 ? 0 : 1;
}
