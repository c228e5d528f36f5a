// Archive entry names: the input is a file name as the file system may hold it (any bytes but
// "/" and zero). Checks: a name accepted for an archive is valid UTF-8 without a backslash or a
// control character; and an accepted name, given to a file packed into a new archive, reads
// back from that archive byte for byte as the only entry.
#include <QFile>

#include <zip.h>

#include "plugins/text_files/zip_compress/zip_archive_writer.h"
#include "plugins/text_files/zip_compress/zip_entry_name.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct TZipFuzzPlace {
    TTempFolder Temp;
    QString Source = Temp.WriteFile(QStringLiteral("source.txt"), "entry content");
    QString Archive = Temp.Path(QStringLiteral("out.zip"));
    TZipDeflaterPool Deflaters;
};

TZipFuzzPlace& Place() {
    static TZipFuzzPlace* place = new TZipFuzzPlace();
    return *place;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray name = FuzzBytes(AData, ASize).left(255);
    if (name.isEmpty() || name.contains('/') || name.contains('\0') || name == "." || name == "..")
        return 0;  // no file system gives such a name
    const QString problem = ZipEntryNameProblem(name);
    if (!problem.isEmpty())
        return 0;
    const QString text = QString::fromUtf8(name);
    if (text.toUtf8() != name)
        FuzzFinding("a name that is not UTF-8 was accepted:", text);
    for (const QChar c : text)
        if (c == u'\\' || c.category() == QChar::Other_Control)
            FuzzFinding("a name with a backslash or control character was accepted:", text);

    TZipFuzzPlace& place = Place();
    QFile::remove(place.Archive);
    {
        TZipArchiveWriter writer(place.Archive, place.Deflaters);
        writer.AddFile(text, place.Source);
        if (!writer.Save())
            FuzzFinding("the archive was not written for:", text);
    }
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(place.Archive).constData(), ZIP_RDONLY, &error);
    if (archive == nullptr)
        FuzzFinding("the archive does not open for:", text);
    const char* stored = zip_get_name(archive, 0, ZIP_FL_ENC_RAW);
    const bool same =
        zip_get_num_entries(archive, 0) == 1 && stored != nullptr && QByteArray(stored) == name;
    zip_discard(archive);
    if (!same)
        FuzzFinding("the entry name did not come back as it was:", text);
    return 0;
}
