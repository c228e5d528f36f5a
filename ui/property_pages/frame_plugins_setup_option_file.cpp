#include "ui/property_pages/frame_plugins_setup_option_file.h"

#include <QVBoxLayout>

#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_contract.h"
#include "plugin_host/property_validation.h"
#include "plugin_host/property_values.h"
#include "translation/translated_text.h"
#include "ui/property_pages/property_page_texts.h"
#include "ui/text_tools/file_document_editor.h"

TFramePluginsSetupOptionFile::TFramePluginsSetupOptionFile(const TFrameServices& AServices)
    : TFrameCommonPlugin(AServices, QStringLiteral("__FramePluginsSetupOptionFile")),
      FEditor(new TqvFileDocumentEditor(this)) {
    setObjectName(QStringLiteral("FramePluginsSetupOptionFile"));
    FTrySupportService_InsertFilePath = true;
    MarkCaptionIsData(FEditor);  // the document is the user's
    connect(FEditor, &QPlainTextEdit::textChanged, this, [this] { MarkModified(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FEditor);
}

TFramePluginsSetupOptionFile::~TFramePluginsSetupOptionFile() {
    // The editor's document changes while the editor is destroyed, after this page's part of
    // the object is gone.
    QObject::disconnect(FEditor, nullptr, this, nullptr);
}

void TFramePluginsSetupOptionFile::DoInitData(const QByteArray& AStream, const QString& APropName,
                                              TPluginStoredLibInfo* ACurPSLI) {
    TFrameCommonPlugin::DoInitData(AStream, APropName, ACurPSLI);
    if (AStream.isEmpty())
        return;
    TStreamReader reader(AStream);
    FDefaultDocument = reader.ReadUtf8String();
    FFileFlags = reader.ReadInt32();
    FEditor->SetFileFlags(FFileFlags);
    WhileLoading([this] { FEditor->SetDocumentText(FDefaultDocument); });
}

void TFramePluginsSetupOptionFile::SavePerstStreamData_Memory(QByteArray& AMemoryStream) const {
    TStreamWriter writer;
    writer.WriteUtf8String(FEditor->DocumentText());
    AMemoryStream = writer.TakeData();
}

void TFramePluginsSetupOptionFile::LoadPerstStreamData_Memory(const QByteArray& AMemoryStream) {
    TStreamReader reader(AMemoryStream);
    QString document = reader.ReadUtf8String();
    if ((FFileFlags & KFileFlagIni) != 0 && document != FDefaultDocument)
        document = MergeIniIntoDefault(FDefaultDocument, document);
    WhileLoading([&] { FEditor->SetDocumentText(document); });
}

void TFramePluginsSetupOptionFile::SoonShowFrame() {
    WhileLoading([this] { FEditor->ApplyHighlighting(); });
}

QString TFramePluginsSetupOptionFile::FileFilter() const {
    QString filter = TranslatedMessage(KTextFileTypeText) + QStringLiteral(" (*.txt)|*.txt");
    if ((FFileFlags & KFileFlagIni) != 0)
        filter += QLatin1Char('|') + TranslatedMessage(KTextFileTypeIni) +
                  QStringLiteral(" (*.ini)|*.ini");
    return filter;
}

void TFramePluginsSetupOptionFile::ReportError(const QString& AMessage) const {
    if (FServices.Prompts != nullptr)
        FServices.Prompts->ShowMessage(TPromptKind::Error, AMessage);
}

bool TFramePluginsSetupOptionFile::ServiceRequest_InsertFilePath() {
    if (!Can_ServiceRequest_InsertFilePath() || !FServices.ChooseOpenFile)
        return false;
    const std::optional<QString> path = FServices.ChooseOpenFile(TProjectDialogSetup{});
    if (!path.has_value())
        return false;
    FEditor->InsertAtCaret(*path);
    FEditor->setFocus();
    return true;
}

bool TFramePluginsSetupOptionFile::DoImport() {
    if (!FServices.ChooseOpenFile)
        return false;
    const std::optional<QString> path =
        FServices.ChooseOpenFile(TProjectDialogSetup{FileFilter(), QStringLiteral("txt"), {}});
    if (!path.has_value())
        return false;
    try {
        FEditor->ImportFromFile(*path);
    } catch (const std::exception& e) {
        ReportError(ExceptionMessage(e));  // the editor keeps its text
        return false;
    }
    return true;
}

bool TFramePluginsSetupOptionFile::DoExport() {
    if (!FServices.ChooseSaveFile)
        return false;
    const std::optional<QString> path =
        FServices.ChooseSaveFile(TProjectDialogSetup{FileFilter(), QStringLiteral("txt"), {}});
    if (!path.has_value())
        return false;
    try {
        FEditor->ExportToFile(*path);
    } catch (const std::exception& e) {
        ReportError(ExceptionMessage(e));
        return false;
    }
    return true;
}

bool TFramePluginsSetupOptionFile::QueryCloseFrame() {
    if (F_PropPlugin_CurPSLI == nullptr || Property() == nullptr)
        return true;
    try {
        return VerifyFileValue(*F_PropPlugin_CurPSLI, F_PropShared_PropName,
                               FEditor->DocumentText(), FServices.TempFolder,
                               [this](int ACharPos, const QString& AMessage) {
                                   FEditor->SetCaretPosition(ACharPos);
                                   FEditor->setFocus();
                                   ReportError(AMessage);
                               });
    } catch (const std::exception& e) {
        // Without its verification file the plugin cannot be asked; the values are kept and
        // the user is told why they were not checked.
        ReportError(ExceptionMessage(e));
        return true;
    }
}
