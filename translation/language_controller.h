#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "base/ini_document.h"

// Rules that steer the lookup; combined as bits in a TqvlgRulesSet.
enum TqvlgRules : unsigned {
    // While the primary language is the native one, message texts come straight from the
    // compiled-in defaults and window texts stay as they are: no translation file is read.
    lgrTryAvoidTransBackendIfNative = 1,
    // Opening a native cache entry for writing first deletes its translation files.
    lgrDeleteTransBackendFirstIfNative = 2,
    // A text missing everywhere raises EqvNoTranslationFound instead of giving the default.
    lgrThrowExceptIfNoTransAtAll = 4,
    // Empty window texts are not registered, and a missing one never raises.
    lgrIgnoreEmptyGUIStrs = 8,
    // Every lookup gives the empty string.
    lgrAlwaysReturnEmptyStrs = 16,
};
using TqvlgRulesSet = unsigned;

// What a cache entry is opened for.
enum class TqvlgOptTrans { lgotUnknown, lgotGet, lgotSet };

// The marks that enclose a template variable's name.
struct TqvlgTemplateSystem {
    QString MatchStart;
    QString MatchEnd;
};

// Gives the value of a template variable at the moment it is used.
using TqvlgTemplateStrEvent = std::function<QString(const QString& AVarName)>;

struct TqvlgTemplateVariable {
    QString ReplaceStr;
    TqvlgTemplateStrEvent ReplaceEvent;
};

// The "MetaData" section of a translation file.
struct TqvlgTransMetaData {
    QString Lingua_ID;
    QString Lingua_Desc;
    QString Author_Name;
    QString Author_Email;
    QString Author_WebUrl;
    QString Author_ThanksTo;
    QString Author_Comments;
    QString Document_LastUpdateDate;
    QString Document_LastUpdateProgram;
    QString Document_LastUpdateVersion;

    bool operator==(const TqvlgTransMetaData&) const = default;
};

// The escapes of message and window text values in translation files ("<NL>", "<#9>",
// "&amp;", ...). Escaping makes line breaks, NUL and a leading blank survive an INI line.
QString EscapeTransValue(const QString& AValue);
QString UnescapeTransValue(const QString& AStored);

// Finds the text of a message or window element for the chosen language, falls back to the
// compiled-in English texts, fills in template variables and caches the translation files it
// has read.
//
// The controller has no lock: it belongs to the user-interface thread (windows, dialogs and
// the batch wrapper of the main window) and must not be used from other threads.
class TqvlgLanguageController {
public:
    TqvlgLanguageController();
    ~TqvlgLanguageController();
    TqvlgLanguageController(const TqvlgLanguageController&) = delete;
    TqvlgLanguageController& operator=(const TqvlgLanguageController&) = delete;

    // The controller made the program-wide default by Config_ControllerAsGlobalDefault, or
    // nullptr (also after that controller was destroyed).
    static TqvlgLanguageController* GlobalDefault();
    // True when the calling thread is the one that made the current global default; the
    // controller may only be used from there.
    static bool IsGlobalDefaultThread();

    // --- Configuration
    void Config_WorkRoot(const QString& ARoot);
    void Config_WorkRules(TqvlgRulesSet ARules);
    void Config_Language_Primary(const QString& APrimary, bool AForceClearCache);
    void Config_ControllerAsGlobalDefault();
    void ConfTemplateDef_Push(const QString& ASysName);
    void ConfTemplateDef_Pop();

    // "es" alone means "es-us" when that language folder exists; anything else is returned as
    // given.
    QString Get_Language_Match(const QString& ATest) const;

    // --- Cache. ATransID is "<language>|<translation ID>". The index stays valid until the
    // next entry is added or the cache is trimmed.
    int EnsureCacheTrans(const QString& ATransID, TqvlgOptTrans AOptTrans);
    void ResetCachePartial();
    void ResetCacheFull();

    // --- Templates
    void AddTemplateSys(const QString& ASysName, const QString& AMatchStart,
                        const QString& AMatchEnd);
    void AddTemplateVar(const QString& AVarName, const QString& AReplaceStr,
                        const TqvlgTemplateStrEvent& AReplaceEvent, bool AEditIfExists);
    QString UseTemplateOnStr(const QString& ASysName, const QString& AStr) const;

    // --- Message texts
    void Set_TransResStr_Native(const QString& ATransID, const QString& ASection,
                                const QString& AKey, const QString& AVal,
                                const QString& ATmplSysName);
    QString Get_TransResStr(const QString& ATransID, const QString& ASection, const QString& AKey,
                            const QString& ADefStr, bool ADefSet);
    QString Get_TransResStr_SetNative(const QString& ATransID, const QString& ASection,
                                      const QString& AKey, const QString& ADefStr);

    // --- Window texts
    void Set_TransGuiStr_Native(const QString& ATransID, const QString& ASection,
                                const QString& AKey, const QString& AVal);
    QString Get_TransGuiStr(const QString& ATransID, const QString& ASection, const QString& AKey,
                            const QString& ADef);

    // --- Metadata
    void Set_TransMetaData_Native(const QString& ATransID,
                                  const TqvlgTransMetaData& ATransMetaData);
    TqvlgTransMetaData Get_TransMetaData(const QString& ALanID, const QString& ATransID);

    // Keeps only ASCII letters and digits, so any caption can serve as a key ("N&o to All"
    // gives "NotoAll").
    static QString MakeKeySafe(const QString& AKey);

    // --- State, for callers and tests
    const QString& LanID_Native_CompiledConcept() const { return FLanID_Native_CompiledConcept; }
    const QString& LanID_Native_CompiledActive() const { return FLanID_Native_CompiledActive; }
    const QString& LanID_Primary() const { return FLanID_Primary; }
    TqvlgRulesSet Work_Rules() const { return FWork_Rules; }
    const QString& Work_Root() const { return FWork_Root; }
    QString TemplateSysDefault() const;
    // The cache keys in cache order.
    QStringList CachedTransIDs() const;
    // The in-memory INI of a cache entry (an index from EnsureCacheTrans), or nullptr.
    TIniDocument* CachedTrans(int AIndex);

    // "<language>|<translation ID>"
    static QString MakeCacheID(const QString& ALanID, const QString& ATransID);

private:
    struct TCacheEntry {
        QString ID;        // "<language>|<translation ID>", as first asked for
        QString FilePath;  // the UTF-8 file the entry stands for
        TIniDocument Ini;
    };

    bool PrimaryIsNative() const;
    bool HasRule(TqvlgRules ARule) const { return (FWork_Rules & ARule) != 0; }
    int FindCacheIndex(const QString& ATransID, int* AInsertAt) const;
    // The entry of a language, opened for reading; nullptr when it has none.
    TIniDocument* TransForGet(const QString& ALanID, const QString& ATransID);
    TIniDocument& NativeTransForSet(const QString& ATransID);
    const TqvlgTemplateVariable* FindTemplateVar(const QString& AVarName,
                                                 QString* ARegisteredName) const;

    QString FLanID_Native_CompiledConcept;
    QString FLanID_Native_CompiledActive;
    QString FLanID_Primary;
    TqvlgRulesSet FWork_Rules = 0;
    QString FWork_Root;
    // Sorted by the lower-case ID; entries live on the heap so that a document found in one
    // entry stays valid while another entry is added.
    std::vector<std::unique_ptr<TCacheEntry>> FTranslations;
    // Keyed by the lower-case name; the value keeps the name as registered.
    QMap<QString, std::pair<QString, TqvlgTemplateSystem>> FTemplateSystems;
    QMap<QString, std::pair<QString, TqvlgTemplateVariable>> FTemplateVariables;
    QStringList FTemplateSysDefaultsArr;
};
