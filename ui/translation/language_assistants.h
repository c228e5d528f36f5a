#pragma once

#include <QHash>
#include <QList>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QTabWidget;
class QWidget;
class TqvlgLanguageController;

// Kind prefixes of window text sections: the section of a text is the prefix followed by the
// window's section name, such as "____Actions" + "__FrontMain".
inline const QString KKindPrefixActions = QStringLiteral("____Actions");
inline const QString KKindPrefixMenus = QStringLiteral("____Menus");
inline const QString KKindPrefixControls = QStringLiteral("____Controls");
inline const QString KKindPrefixStoredRes = QStringLiteral("______StoredRes");

// The dynamic property that marks a control whose caption shows data (a value, a path) rather
// than a text of the program: only its hint is translated.
inline constexpr const char* KPropCaptionIsData = "qvlgCaptionIsData";
// The dynamic property that gives a frame its own section; the walk of the window that holds it
// leaves the frame to itself.
inline constexpr const char* KPropFrameSection = "qvlgFrameSection";
// The dynamic property of actions that belong to an action list: menus leave them to it.
inline constexpr const char* KPropListedAction = "qvlgListedAction";

void MarkCaptionIsData(QWidget* AControl);

// What every assistant shares: the controller and the English texts it registered, so that a
// language without a text, and English itself, give the English text back even after another
// language was shown.
class TqvlgLanguageAssistant {
public:
    explicit TqvlgLanguageAssistant(TqvlgLanguageController& ACore, QString AKindPrefix);
    virtual ~TqvlgLanguageAssistant() = default;

    // The registered English texts, "<section>|<key>" to text, for checking translation files.
    const QHash<QString, QString>& NativeTexts() const { return FNative; }

protected:
    void SaveText(const QString& ATransID, const QString& ASection, const QString& AKey,
                  const QString& AValue);
    // The chosen language's text, or the registered English one, or ACurrent when the text was
    // never registered.
    QString LoadText(const QString& ATransID, const QString& ASection, const QString& AKey,
                     const QString& ACurrent);

private:
    TqvlgLanguageController& FCore;
    QString FKindPrefix;
    QHash<QString, QString> FNative;
};

// Actions: "<Name>.Caption", "<Name>.Hint", "<Name>.ShortCut" (the shortcut as its portable
// text, such as "Ctrl+S").
class TqvlgLanguageAssistantActions : public TqvlgLanguageAssistant {
public:
    explicit TqvlgLanguageAssistantActions(TqvlgLanguageController& ACore);
    void Save_Trans_ActionList(const QString& ATransID, const QString& ASection,
                               const QList<QAction*>& AObj);
    void Load_Trans_ActionList(const QString& ATransID, const QString& ASection,
                               const QList<QAction*>& AObj);
};

// Menu items that are not listed actions (submenus and items of their own), with the same keys.
class TqvlgLanguageAssistantMenus : public TqvlgLanguageAssistant {
public:
    explicit TqvlgLanguageAssistantMenus(TqvlgLanguageController& ACore);
    void Save_Trans_Menu(const QString& ATransID, const QString& ASection, QMenuBar* AObj);
    void Load_Trans_Menu(const QString& ATransID, const QString& ASection, QMenuBar* AObj);

private:
    void Walk(const QString& ATransID, const QString& ASection, const QList<QAction*>& AItems,
              bool ASave);
};

// Controls of a window or frame, found below it by name: captions and hints by kind, pages of a
// page control, tab captions, column captions of list and tree views.
class TqvlgLanguageAssistantControls : public TqvlgLanguageAssistant {
public:
    explicit TqvlgLanguageAssistantControls(TqvlgLanguageController& ACore);
    void Save_Trans_Controls(const QString& ATransID, const QString& ASection, QWidget* AObj);
    void Load_Trans_Controls(const QString& ATransID, const QString& ASection, QWidget* AObj);
    void Save_Trans_PageControl(const QString& ATransID, const QString& ASection, QTabWidget* AObj);
    void Load_Trans_PageControl(const QString& ATransID, const QString& ASection, QTabWidget* AObj);

private:
    void WalkControls(const QString& ATransID, const QString& ASection, QWidget* ARoot, bool ASave);
    void Control(const QString& ATransID, const QString& ASection, QWidget* AObj, bool ASave);
    void PageControl(const QString& ATransID, const QString& ASection, QTabWidget* AObj,
                     bool ASave);
};

// A text a window shows that is no control's caption (a tree's root, a dialog's caption): kept
// under a name and translated as "<Name>.Str".
class TqvlgStoredString {
public:
    TqvlgStoredString(QString AName, QString ANative)
        : FName(std::move(AName)), FNative(ANative), FStr(std::move(ANative)) {}
    const QString& Name() const { return FName; }
    const QString& Native() const { return FNative; }
    // The text in the chosen language.
    const QString& Str() const { return FStr; }
    void SetStr(const QString& AStr) { FStr = AStr; }

private:
    QString FName;
    QString FNative;
    QString FStr;
};

class TqvlgLanguageAssistantStoredResources : public TqvlgLanguageAssistant {
public:
    explicit TqvlgLanguageAssistantStoredResources(TqvlgLanguageController& ACore);
    void Save_Trans_StoredString(const QString& ATransID, const QString& ASection,
                                 const TqvlgStoredString& AObj);
    void Load_Trans_StoredString(const QString& ATransID, const QString& ASection,
                                 TqvlgStoredString& AObj);
};

// The window assistants on one controller; windows reach them through the bundle.
struct TqvlgLanguageAssistantsGui {
    explicit TqvlgLanguageAssistantsGui(TqvlgLanguageController& ACore)
        : FActions(ACore), FMenus(ACore), FControls(ACore), FStoredRes(ACore) {}
    TqvlgLanguageAssistantActions FActions;
    TqvlgLanguageAssistantMenus FMenus;
    TqvlgLanguageAssistantControls FControls;
    TqvlgLanguageAssistantStoredResources FStoredRes;
};

// A window or frame whose texts follow the chosen language.
class TqvlgTranslatedWindow {
public:
    virtual ~TqvlgTranslatedWindow() = default;
    // Registers the window's English message texts (once, when it is created).
    virtual void LanguageCulture_SetNativeOnce() {}
    // Registers the English texts of its controls, actions and menus (once, after they exist).
    virtual void LanguageCulture_SetNativeOnce_GUI() = 0;
    // Applies the chosen language to them.
    virtual void LanguageCulture_LoadCurrent_GUI() = 0;
    // Shows again what depends on the language (status words, counts).
    virtual void UpdateVisuals() {}
};

// Applies the chosen language to every open top-level window that follows it.
void LoadCurrentLanguageInAllWindows();
