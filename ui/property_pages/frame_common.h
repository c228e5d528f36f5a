#pragma once

#include <QByteArray>
#include <QFont>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

#include "project/project_file.h"
#include "ui/translation/language_assistants.h"

class QPrinter;
class TPluginProperty;
class TPluginStoredLibInfo;
class TUserPrompts;

// What the text editor dialog is asked to edit.
struct TStrEditorRequest {
    QString Caption;
    QString Text;
    QFont Font;                      // the calling page's font
    QWidget* Parent = nullptr;       // the dialog is centred on its window
    std::optional<QPoint> Position;  // a given top-left corner instead
};
// Runs the text editor dialog: the edited text on OK, nothing when cancelled.
using TStrEditorRunner = std::function<std::optional<QString>(const TStrEditorRequest&)>;

// A folder chooser of a grid cell button: the chosen folder, empty when cancelled. AWithFiles:
// files are listed (and may be chosen) as well.
using TFrameFolderChooser =
    std::function<QString(const QString& ACaption, const QString& AStart, bool AWithFiles)>;

// What a page may use besides its own controls. Everything may be absent: a page without
// prompts shows nothing (and questions answer "no"), without choosers a service behaves as
// cancelled, without assistants the page stays in English.
struct TFrameServices {
    TUserPrompts* Prompts = nullptr;
    TqvlgLanguageAssistantsGui* Assistants = nullptr;
    TProjectFileChooser ChooseOpenFile;  // insert file path, import
    TProjectFileChooser ChooseSaveFile;  // export
    TFrameFolderChooser ChooseFolder;    // grid cell buttons
    TStrEditorRunner EditText;           // none: the modal TqvStrEditorDialog
    QString TempFolder;                  // where verification files are written
    // The filter patterns the combination editor offers (value lists of grid columns).
    std::function<QStringList()> OfferedPatterns;
    // The user changed a value on the page (not called while the page loads).
    std::function<void()> OnEdited;
};

// The editor's list actions, which act on a grid page's rows while that page has the focus.
enum class TFrameRowAction { Add, Insert, Delete, MoveUp, MoveDown };

// The base of every page of the main window: its life cycle steps and its services (insert a
// file path, open a text editor, import, export, print). Every step does nothing here,
// QueryCloseFrame accepts, and no service is offered.
class TFrameCommon : public QWidget, public TqvlgTranslatedWindow {
public:
    // ATransSection: the section of the page's window texts, such as "__FramePluginSetupRoot".
    TFrameCommon(TFrameServices AServices, QString ATransSection, QWidget* AParent = nullptr);

    const TFrameServices& Services() const { return FServices; }
    const QString& TransSection() const { return FTransSection; }

    virtual void ConfigActions() {}
    virtual bool CanImport() const { return false; }
    virtual bool CanExport() const { return false; }
    // Import into / export from the page; false when not offered or cancelled.
    virtual bool DoImport() { return CanImport(); }
    virtual bool DoExport() { return CanExport(); }
    virtual bool Can_ServiceRequest_InsertFilePath() const { return false; }
    virtual bool Can_ServiceRequest_OpenTextEditor() const { return false; }
    // Each returns what its Can_ returns (a page that offers the service does it first).
    virtual bool ServiceRequest_InsertFilePath() { return Can_ServiceRequest_InsertFilePath(); }
    virtual bool ServiceRequest_OpenTextEditor() { return Can_ServiceRequest_OpenTextEditor(); }
    virtual bool Can_Frame_Print() const { return false; }
    virtual bool Frame_Print(QPrinter& APrinter);
    // Registers the English texts of the page's controls under its section, and applies the
    // chosen language to them. Controls marked as showing data are left alone.
    void LanguageCulture_SetNativeOnce_GUI() override;
    void LanguageCulture_LoadCurrent_GUI() override;
    virtual void DoInitFrame() {}
    virtual void PrepareFrame() {}
    virtual void CommonEndLoadFrame() {}
    virtual void SoonShowFrame() {}
    virtual void JustShownFrame() {}
    // Whether the page's values may be kept (the plugin's check); a page that refuses has told
    // the user why.
    virtual bool QueryCloseFrame() { return true; }

    // The editor's list actions on the page's rows (grid pages): whether one is possible now,
    // and doing it (false when it was not possible).
    virtual bool Can_RowAction(TFrameRowAction) const { return false; }
    virtual bool RowAction(TFrameRowAction AAction) { return Can_RowAction(AAction); }

protected:
    // Tells the editor that the user changed a value.
    void NotifyEdited();

    TFrameServices FServices;

private:
    QString FTransSection;
};

// The base of the plugin pages: the property (by name) and the plugin it belongs to, the stored
// value stream in and out, and the service gates: a service is offered only when the page class
// supports it (FTrySupportService_...) and the property asks for it (FReadyServices bit 1:
// insert file path, bit 2: open text editor).
class TFrameCommonPlugin : public TFrameCommon {
public:
    using TFrameCommon::TFrameCommon;

    QString F_PropShared_PropName;
    TPluginStoredLibInfo* F_PropPlugin_CurPSLI = nullptr;
    bool FTrySupportService_InsertFilePath = false;
    bool FTrySupportService_OpenTextEditor = false;

    // Builds the page from the property's declaration data (empty for the information page).
    // The base keeps the name and the plugin.
    virtual void DoInitData(const QByteArray& AStream, const QString& APropName,
                            TPluginStoredLibInfo* ACurPSLI);
    // Writes the page's values in the stored format of its kind (the base writes nothing).
    virtual void SavePerstStreamData_Memory(QByteArray& AMemoryStream) const;
    // Applies a stored stream after DoInitData (the base ignores it).
    virtual void LoadPerstStreamData_Memory(const QByteArray& AMemoryStream);
    // The same as hexadecimal text (two digits per byte).
    virtual QString SavePerstStreamData_HexStr() const;
    virtual void LoadPerstStreamData_HexStr(const QString& AHexStr);

    // The batch value stream of a stored stream or of declaration data; the conversions are the
    // plugin host's, by property kind.
    static QByteArray ToBatchFromPerstData(const TPluginProperty& AProperty,
                                           const QByteArray& AFromPerstStream);
    static QByteArray ToBatchFromInitData(const TPluginProperty& AProperty,
                                          const QByteArray& AFromInitStream);

    bool Can_ServiceRequest_InsertFilePath() const override;
    bool Can_ServiceRequest_OpenTextEditor() const override;

    // The property the page edits, or null (the information page).
    const TPluginProperty* Property() const;
    // Whether the user changed a value since the page was opened.
    bool Modified() const { return FModified; }

protected:
    // The page's value changed by the user: marks the page and tells the editor.
    void MarkModified();
    // True while the page fills its controls (changes then are not the user's).
    bool Loading() const { return FLoading; }
    // Runs AFill with Loading() set.
    void WhileLoading(const std::function<void()>& AFill);

private:
    bool FModified = false;
    bool FLoading = false;
};

// Drives a new plugin page through its opening steps, in order: DoInitData, the stored stream
// when there is one, DoInitFrame, the English texts, PrepareFrame, CommonEndLoadFrame,
// SoonShowFrame, the chosen language, showing it, JustShownFrame.
void OpenPluginFrame(TFrameCommonPlugin& AFrame, const QByteArray& AInitData,
                     const QString& APropName, TPluginStoredLibInfo* APlugin,
                     const QByteArray& AStoredStream);

// The control of an item identifier: "ppn" followed by the identifier; reading back strips it.
inline const QString KItemControlPrefix = QStringLiteral("ppn");
QString ItemControlName(const QString& AItemID);
QString ItemIDOfControl(const QString& AControlName);
