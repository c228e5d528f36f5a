// Example external plugin for Plovane in C++: "Replace Words".
//
// For every file whose extension is in its "Files" text box, it replaces words as its "Words"
// grid says: each row gives the text to find, its replacement, and whether all occurrences or
// only the first one are replaced. It shows the contract of the C example (sdk/example_plugin/)
// from C++: the entry points are ordinary C++ functions marked PLV_EXPORT (which gives them C
// linkage), the plugin keeps its settings in standard containers, and no exception leaves an
// entry point (the host would treat one as a failed call; the plugin reports its own problems
// instead).
//
// Loading scheme: plsCanDynamicAsNeeded. The host loads the library for discovery, pre-edit,
// editing and for each batch combination that uses it, and releases it after each; the settings
// below live only from PluginSetupWorkStart to PluginSetupWorkEnd, within one load.
//
// Threads: PluginWorkPath runs on several worker threads at once; it only reads the settings,
// which the setup calls (one thread, never during PluginWorkPath) write.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include "plovane_plugin.h"

namespace {

constexpr const char* KPropFiles = "Files";
constexpr const char* KBoxExtensions = "Extensions";
constexpr const char* KPropWords = "Words";
constexpr std::u16string_view KColFind = u"Find";
constexpr std::u16string_view KColReplace = u"Replace";
constexpr std::u16string_view KColTimes = u"Times";

// Valid for as long as the library is loaded (the host copies it at once).
TPluginInfo GInfo = {
    .StrID = u"org.plovane.example.ReplaceWords",
    .Author = u"The Plovane developers",
    .CopyRight = u"Free to copy as the start of your own plugin",
    .PluginName = u"ReplaceWords",
    .PluginDesc = u"Replaces words in text files (example plugin in C++).",
    .HasCompany = nullptr,
    .HasEmail = nullptr,
    .HasUrl = nullptr,
    .CanLaunchFilesSep = nullptr,
    .CanLaunchFilesList = nullptr,
    .CanMultiThreadWork = 1,
    .PluginLoadingScheme = plsCanDynamicAsNeeded,
    .HasLogo = nullptr,
    .SuggestedExts = u".txt,.md",
    .PluginVersion = u"1.00",
    .InterfaceVersion = u"" PLOVANE_PLUGIN_INTERFACE_VERSION,
    .PluginCategory = pcFileProcessing,
    .CanWorkCategory = PLV_CAN_WORK_FILES,
    .ReleaseState = PLV_RELEASE_STABLE,
};

std::u16string Text(TPlvWStr AText) {
    return AText != nullptr ? std::u16string(AText) : std::u16string();
}

bool Is(TPlvAStr AText, const char* AName) {
    return AText != nullptr && std::string_view(AText) == AName;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view AText) {
    std::string out;
    for (std::size_t i = 0; i < AText.size(); ++i) {
        char32_t c = AText[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < AText.size() && AText[i + 1] >= 0xDC00 &&
            AText[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (AText[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A value-list cell: a grid never opened in the editor delivers the declared default as it was
// declared ("|all|all|first": separator, value, separator, list); the editor stores the value
// alone ("all"). The list items here are words, so a leading "|" tells the two apart.
std::u16string ValueListCell(const std::u16string& AValue) {
    if (AValue.size() < 2 || AValue[0] != u'|')
        return AValue;
    const std::size_t second = AValue.find(u'|', 1);
    return second == std::u16string::npos ? AValue.substr(1) : AValue.substr(1, second - 1);
}

struct TRule {
    std::string Find;  // UTF-8, as the files are compared byte by byte
    std::string Replace;
    bool All = true;
};

// The settings of the running combination.
struct TSettings {
    const TExeWorkCallbacks* Callbacks = nullptr;
    std::vector<std::u16string> Extensions;
    std::vector<TRule> Rules;
    bool SetupFailed = false;
};

TSettings GSettings;

std::vector<std::u16string> SplitExtensions(const std::u16string& AList) {
    std::vector<std::u16string> result;
    std::size_t start = 0;
    while (start <= AList.size()) {
        std::size_t comma = AList.find(u',', start);
        if (comma == std::u16string::npos)
            comma = AList.size();
        std::u16string item = AList.substr(start, comma - start);
        while (!item.empty() && item.front() == u' ')
            item.erase(0, 1);
        while (!item.empty() && item.back() == u' ')
            item.pop_back();
        if (!item.empty())
            result.push_back(item);
        start = comma + 1;
    }
    return result;
}

char16_t Lower(char16_t AChar) {
    return AChar >= u'A' && AChar <= u'Z' ? static_cast<char16_t>(AChar - u'A' + u'a') : AChar;
}

bool HasListedExtension(std::u16string_view APath) {
    for (const std::u16string& extension : GSettings.Extensions) {
        if (extension.size() >= APath.size())
            continue;
        const std::u16string_view tail = APath.substr(APath.size() - extension.size());
        bool same = true;
        for (std::size_t i = 0; same && i < tail.size(); ++i)
            same = Lower(tail[i]) == Lower(extension[i]);
        if (same)
            return true;
    }
    return false;
}

void Report(TPlvWStr AError, TPlvWStr AAdvice) {
    if (GSettings.Callbacks != nullptr)
        GSettings.Callbacks->ExeHandleWorkPathErrorMsgW(AError, AAdvice);
}

// Replaces the words in one file. The new content is written beside the file (with the file's
// permissions) and renamed over it, so the file is either rewritten completely or left as it
// was.
void ReplaceInFile(const std::string& APath) {
    std::string content;
    {
        std::ifstream in(APath, std::ios::binary);
        if (!in) {
            Report(u"The file could not be read.", u"Check that it exists and may be read.");
            return;
        }
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string result = content;
    for (const TRule& rule : GSettings.Rules) {
        if (rule.Find.empty())
            continue;
        std::size_t at = 0;
        while ((at = result.find(rule.Find, at)) != std::string::npos) {
            result.replace(at, rule.Find.size(), rule.Replace);
            at += rule.Replace.size();
            if (!rule.All)
                break;
        }
    }
    if (result == content)
        return;
    const std::string temporary = APath + ".plvtmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(result.data(), static_cast<std::streamsize>(result.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            Report(u"The file could not be rewritten; it was left as it was.",
                   u"Check that the folder may be written and has room.");
            return;
        }
    }
    std::error_code ignored;
    std::filesystem::permissions(temporary, std::filesystem::status(APath, ignored).permissions(),
                                 ignored);
    if (std::rename(temporary.c_str(), APath.c_str()) != 0) {
        std::remove(temporary.c_str());
        Report(u"The file could not be replaced; it was left as it was.",
               u"Check that the folder may be written.");
    }
}

}  // namespace

// ---- Information and declaration (discovery, user-interface thread) --------------------------

PLV_EXPORT TPluginInfo* PLV_CALL PluginReturnInfo(TExeInfo*) {
    return &GInfo;
}

PLV_EXPORT void PLV_CALL PluginSetupInit(TExeInfo*, TExeInitCallbacks* ACallbacks) {
    ACallbacks->ExeMakePropName(KPropFiles, u"Files", vptTextBoxes, 0, u"Which files are worked on",
                                u"A comma-separated list of extensions, each with its dot.");
    ACallbacks->ExeMakePropName(KPropWords, u"Words", vptGrid, 0, u"What is replaced",
                                u"Each row replaces a text; \"first\" replaces only the first "
                                u"occurrence in a file.");
    // Rows whose cells are all empty are left out. (The "WhenTrimmed" levels would also trim
    // every value delivered, and blanks matter in the texts to find.)
    ACallbacks->ExeSetPropMetasGrid(KPropWords, pgirlAllRowCellsEmpty);
}

PLV_EXPORT void PLV_CALL PluginSetupPreEdit(TExeInfo*, TExePreEditCallbacks* ACallbacks) {
    // Every count call is followed by exactly that many items.
    ACallbacks->ExeSetPropTextBoxValueCount(KPropFiles, 1);
    ACallbacks->ExeSetPropTextBoxValue(KPropFiles, KBoxExtensions, u"Extensions", u".txt,.md");

    ACallbacks->ExeSetPropGridColumnCount(KPropWords, 3);
    ACallbacks->ExeAddPropGridColumn(KPropWords, "Find", u"Find", "100+", PLV_COL_FLAG_ALIGN_LEFT);
    ACallbacks->ExeAddPropGridColumn(KPropWords, "Replace", u"Replace", "100+",
                                     PLV_COL_FLAG_ALIGN_LEFT | PLV_COL_FLAG_MULTI_LINE);
    ACallbacks->ExeAddPropGridColumn(KPropWords, "Times", u"Times", "60",
                                     PLV_COL_FLAG_ALIGN_CENTER | PLV_COL_FLAG_VALUE_LIST);
    // A grid always gets its default cell count, even 0. The value-list column's first default
    // cell defines its list: separator, default value, separator, items.
    ACallbacks->ExeSetPropDefaultGridValueCount(KPropWords, 3);
    ACallbacks->ExeAddPropDefaultGridValue(KPropWords, 0, 0, u"colour");
    ACallbacks->ExeAddPropDefaultGridValue(KPropWords, 1, 0, u"color");
    ACallbacks->ExeAddPropDefaultGridValue(KPropWords, 2, 0, u"|all|all|first");
}

PLV_EXPORT void PLV_CALL PluginSetupEdit(TExeInfo*, TExeWorkCallbacks*) {}

// ---- Validation (user-interface thread) --------------------------------------------------------

PLV_EXPORT void PLV_CALL
PluginVerifyPropTextBoxValue(TPlvAStr APropName, TPlvAStr ATextBoxID, TPlvWStr APropValue,
                             TProcExeHandleEditPropTextBoxErrorMsg AExeCallBack) {
    if (!Is(APropName, KPropFiles))
        return;
    const std::vector<std::u16string> extensions = SplitExtensions(Text(APropValue));
    bool good = !extensions.empty();
    for (const std::u16string& extension : extensions)
        good = good && extension.size() >= 2 && extension[0] == u'.';
    if (!good)
        AExeCallBack(ATextBoxID, u"Give extensions with their dot, for example \".txt,.md\".",
                     u"Separate several extensions with commas.");
}

namespace {
// The row being verified: cells come in column order, one row at a time.
std::vector<std::u16string> GVerifyRow;
}  // namespace

PLV_EXPORT void PLV_CALL PluginPrepareVerifyGridRow(TPlvAStr) {
    GVerifyRow.clear();
}

PLV_EXPORT void PLV_CALL PluginAddVerifyPropGridValue(TPlvAStr, TPlvWStr APropValue) {
    GVerifyRow.push_back(Text(APropValue));
}

PLV_EXPORT void PLV_CALL PluginEndVerifyGridRow(TPlvAStr APropName,
                                                TProcExeHandleEditPropGridErrorMsg AExeCallBack) {
    if (Is(APropName, KPropWords) && (GVerifyRow.empty() || GVerifyRow[0].empty()))
        AExeCallBack(0, u"The text to find is empty.", u"Fill it in or clear the whole row.");
}

// ---- Batch setup (batch engine thread) ---------------------------------------------------------

PLV_EXPORT void PLV_CALL PluginSetupWorkStart(TExeInfo*, TWorkStartInfo*,
                                              TExeWorkCallbacks* ACallbacks) {
    // A plugin may appear in several combinations: each starts afresh.
    GSettings = TSettings{};
    GSettings.Callbacks = ACallbacks;
}

PLV_EXPORT void PLV_CALL PluginSetPropTextBoxValue(TPlvAStr APropName, TPlvAStr ATextBoxID,
                                                   TPlvWStr APropValue) {
    try {
        if (Is(APropName, KPropFiles) && Is(ATextBoxID, KBoxExtensions))
            GSettings.Extensions = SplitExtensions(Text(APropValue));
    } catch (const std::exception&) {
        GSettings.SetupFailed = true;  // out of memory: every path says so
    }
}

PLV_EXPORT void PLV_CALL PluginSetPropGridValueCount(TPlvAStr APropName, int32_t) {
    if (Is(APropName, KPropWords))
        GSettings.Rules.clear();
}

PLV_EXPORT void PLV_CALL PluginSetPropGridValue(TPlvAStr APropName, TPlvWStr AColID,
                                                int32_t ARowIdx, TPlvWStr AFieldValue) {
    if (!Is(APropName, KPropWords) || ARowIdx < 0)
        return;
    try {
        if (GSettings.Rules.size() <= static_cast<std::size_t>(ARowIdx))
            GSettings.Rules.resize(static_cast<std::size_t>(ARowIdx) + 1);
        TRule& rule = GSettings.Rules[static_cast<std::size_t>(ARowIdx)];
        const std::u16string column = Text(AColID);
        if (column == KColFind)
            rule.Find = ToUtf8(Text(AFieldValue));
        else if (column == KColReplace)
            rule.Replace = ToUtf8(Text(AFieldValue));
        else if (column == KColTimes)
            rule.All = ValueListCell(Text(AFieldValue)) != u"first";
    } catch (const std::exception&) {
        GSettings.SetupFailed = true;
    }
}

PLV_EXPORT void PLV_CALL PluginSetupWorkStartDone() {}

PLV_EXPORT void PLV_CALL PluginSetupWorkEnd(TExeInfo*) {
    GSettings = TSettings{};
}

// ---- The work on one path (worker threads, several at once) ------------------------------------

PLV_EXPORT void PLV_CALL PluginWorkPath(PPluginPassedReadInProps AIn, PPluginPassedWriteOutProps) {
    try {
        if (GSettings.SetupFailed) {
            Report(u"The plugin ran out of memory at batch start.", u"Run the batch again.");
            return;
        }
        const std::u16string path = Text(AIn->WorkPathNameIn);
        // Directories end with "/"; the path stays as it is, so the output buffer is left.
        if (path.empty() || path.back() == u'/' || !HasListedExtension(path))
            return;
        ReplaceInFile(ToUtf8(path));
    } catch (const std::exception&) {
        Report(u"The plugin ran out of memory.", u"Nothing was changed in the file.");
    }
}

// Each export has exactly the type the interface header gives its entry point.
#define PLV_CHECK_ENTRY_POINT(Name)                         \
    static_assert(std::is_same_v<decltype(&Name), T##Name>, \
                  #Name " does not match the interface header")
PLV_CHECK_ENTRY_POINT(PluginReturnInfo);
PLV_CHECK_ENTRY_POINT(PluginSetupInit);
PLV_CHECK_ENTRY_POINT(PluginSetupPreEdit);
PLV_CHECK_ENTRY_POINT(PluginSetupEdit);
PLV_CHECK_ENTRY_POINT(PluginVerifyPropTextBoxValue);
PLV_CHECK_ENTRY_POINT(PluginPrepareVerifyGridRow);
PLV_CHECK_ENTRY_POINT(PluginAddVerifyPropGridValue);
PLV_CHECK_ENTRY_POINT(PluginEndVerifyGridRow);
PLV_CHECK_ENTRY_POINT(PluginSetupWorkStart);
PLV_CHECK_ENTRY_POINT(PluginSetPropTextBoxValue);
PLV_CHECK_ENTRY_POINT(PluginSetPropGridValueCount);
PLV_CHECK_ENTRY_POINT(PluginSetPropGridValue);
PLV_CHECK_ENTRY_POINT(PluginSetupWorkStartDone);
PLV_CHECK_ENTRY_POINT(PluginSetupWorkEnd);
PLV_CHECK_ENTRY_POINT(PluginWorkPath);
