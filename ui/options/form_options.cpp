#include "ui/options/form_options.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <mutex>

#include "app/module_shared.h"
#include "base/atomic_file.h"
#include "base/exceptions.h"
#include "base/ini_document.h"
#include "translation/language_controller.h"
#include "translation/translated_text.h"
#include "ui/options/number_track_pair.h"
#include "ui/options/options_texts.h"

namespace {

template <typename T>
T* Named(T* AWidget, const char* AName) {
    AWidget->setObjectName(QString::fromLatin1(AName));
    return AWidget;
}

QSlider* TrackBar(const char* AName, int AMax, int ATick, QWidget* AParent) {
    auto* track = Named(new QSlider(Qt::Horizontal, AParent), AName);
    track->setRange(0, AMax);
    track->setTickPosition(QSlider::TicksBelow);
    track->setTickInterval(ATick);
    return track;
}

QLineEdit* NumberEdit(const char* AName, QWidget* AParent) {
    auto* edit = Named(new QLineEdit(AParent), AName);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    return edit;
}

// A page holding one group, the group's content at the top.
QWidget* Page(const char* AName, QGroupBox* AGroup) {
    auto* page = Named(new QWidget, AName);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(AGroup);
    layout->addStretch(1);
    return page;
}

const QString KSetupKeyGeometry = QStringLiteral("Geometry");

}  // namespace

const QString TFormOptions::KTransSection = QStringLiteral("_ProgramOptions");
const QString TFormOptions::KSetupSection = QStringLiteral("FormOptions");
const QString TFormOptions::KSetupKeyPage = QStringLiteral("pgcOptions.ActivePageIndex");

TFormOptions::TFormOptions(TFormOptionsSetup ASetup, QWidget* AParent)
    : QDialog(AParent),
      FSetup(std::move(ASetup)),
      FModule(*FSetup.Module),
      FAssistants(*FSetup.Assistants) {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setMinimumSize(400, 300);

    FPages = Named(new QTabWidget(this), "pgcOptions");
    FPages->addTab(BuildGeneralPage(), QStringLiteral("General"));
    FPages->addTab(BuildVisualsPage(), QStringLiteral("Visuals"));
    FPages->addTab(BuildSecurityPage(), QStringLiteral("Security"));
    FPages->addTab(BuildLoggingPage(), QStringLiteral("Logging"));

    auto* heading = Named(new QLabel(QStringLiteral("Dynamic help"), this), "pnlDynamicHelp");
    heading->setFrameStyle(QFrame::Panel | QFrame::Raised);
    heading->setAlignment(Qt::AlignCenter);
    FHelp = Named(new QPlainTextEdit(this), "memHelp");
    FHelp->setReadOnly(true);
    auto* helpPane = new QVBoxLayout;
    helpPane->addWidget(heading);
    helpPane->addWidget(FHelp, 1);

    auto* ok = Named(new QPushButton(QStringLiteral("&OK"), this), "btnOK");
    ok->setDefault(true);
    auto* cancel = Named(new QPushButton(QStringLiteral("&Cancel"), this), "btnCancel");
    connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* upper = new QHBoxLayout;
    upper->addWidget(FPages, 3);
    upper->addLayout(helpPane, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(upper, 1);
    layout->addLayout(buttons);
    resize(640, 400);

    FHelpTexts = {
        {FDefaultProject, {&KTextHelpProjectPathDefault, nullptr}},
        {findChild<QPushButton*>(QStringLiteral("btnDefaultProjectGP")),
         {&KTextHelpProjectPathDefault, nullptr}},
        {FLoadLastProject, {&KTextHelpProjectActiveDefault, nullptr}},
        {findChild<QLineEdit*>(QStringLiteral("edtReopenListSizeGP")),
         {&KTextHelpProjectReopenCount, FReopenSizeTrack}},
        {FReopenSizeTrack, {&KTextHelpProjectReopenCount, FReopenSizeTrack}},
        {FSaveWindows, {&KTextHelpRememberStateWindows, nullptr}},
        {FSaveToolbars, {&KTextHelpRememberStateToolbars, nullptr}},
        {FSaveMisc, {&KTextHelpRememberStateMisc, nullptr}},
        {FHumanSafeMode, {&KTextHelpHumanSafeMode, nullptr}},
        {findChild<QLineEdit*>(QStringLiteral("edtLogCountLB")),
         {&KTextHelpBatchLogCount, FLogCountTrack}},
        {FLogCountTrack, {&KTextHelpBatchLogCount, FLogCountTrack}},
    };
    LanguageCulture_SetNativeOnce();
    LanguageCulture_SetNativeOnce_GUI();
    LanguageCulture_LoadCurrent_GUI();

    ShowOptions();
    RestoreSetup();
    connect(FPages, &QTabWidget::currentChanged, this, [this] { FocusPageStart(); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* ANow) {
        // The help pane itself keeps what it shows, so it can be read and copied.
        if (ANow != nullptr && ANow != FHelp && ANow->window() == this)
            ShowHelpFor(ANow);
    });
}

TFormOptions::~TFormOptions() {
    // Focus moves while the widgets go; nothing may reach this half-destroyed dialog then.
    disconnect(qApp, nullptr, this, nullptr);
    // The pairs watch their controls' events; they go first, so none reaches them from a
    // control that is being destroyed.
    delete FReopenSize;
    delete FLogCount;
    StoreSetup();
}

QWidget* TFormOptions::BuildGeneralPage() {
    auto* group = Named(new QGroupBox(QStringLiteral("Projects")), "grpProjectsGP");
    auto* label =
        Named(new QLabel(QStringLiteral("Default project:"), group), "lblDefaultProjectGP");
    FDefaultProject = Named(new QLineEdit(group), "edtDefaultProjectGP");
    FDefaultProject->setToolTip(
        QStringLiteral("Be careful choosing the correct input from directory"));
    label->setBuddy(FDefaultProject);
    auto* choose = Named(new QPushButton(QStringLiteral("..."), group), "btnDefaultProjectGP");
    choose->setAutoDefault(false);
    choose->setMaximumWidth(choose->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 24);
    connect(choose, &QPushButton::clicked, this, [this] { ChooseDefaultProject(); });
    FLoadLastProject = Named(new QCheckBox(QStringLiteral("&Load last project on startup"), group),
                             "chkLoadLastProjectGP");
    auto* sizeLabel =
        Named(new QLabel(QStringLiteral("Reopen list size:"), group), "lblReopenListSizeGP");
    QLineEdit* sizeEdit = NumberEdit("edtReopenListSizeGP", group);
    sizeLabel->setBuddy(sizeEdit);
    FReopenSizeTrack = TrackBar("tbrReopenListSizeGP", 20, 1, group);
    FReopenSize = new TNumberTrackPair(sizeEdit, FReopenSizeTrack, this);

    auto* grid = new QGridLayout(group);
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(FDefaultProject, 1, 0);
    grid->addWidget(choose, 1, 1);
    grid->addWidget(FLoadLastProject, 2, 0, 1, 2);
    grid->addWidget(sizeLabel, 3, 0, 1, 2);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(sizeEdit);
    sizeRow->addWidget(FReopenSizeTrack, 1);
    grid->addLayout(sizeRow, 4, 0, 1, 2);
    FPageStarts.push_back(FDefaultProject);
    return Page("tsGeneral", group);
}

QWidget* TFormOptions::BuildVisualsPage() {
    auto* group = Named(new QGroupBox(QStringLiteral("User Interface Persistence")),
                        "grpUserInterfacePersistenceVU");
    FSaveWindows =
        Named(new QCheckBox(QStringLiteral("Save &windows setup"), group), "chkWindowsVU");
    FSaveToolbars =
        Named(new QCheckBox(QStringLiteral("Save &toolbars setup"), group), "chkToolbarsVU");
    FSaveMisc =
        Named(new QCheckBox(QStringLiteral("Save &miscellaneous setup"), group), "chkMiscVU");
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(FSaveWindows);
    layout->addWidget(FSaveToolbars);
    layout->addWidget(FSaveMisc);
    FPageStarts.push_back(FSaveWindows);
    return Page("tsVisuals", group);
}

QWidget* TFormOptions::BuildSecurityPage() {
    auto* group = Named(new QGroupBox(QStringLiteral("Batching")), "grpBatchingSB");
    FHumanSafeMode =
        Named(new QCheckBox(QStringLiteral("&Human safe mode"), group), "chkHumanSafeModeSB");
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(FHumanSafeMode);
    FPageStarts.push_back(FHumanSafeMode);
    return Page("tsSecurity", group);
}

QWidget* TFormOptions::BuildLoggingPage() {
    auto* group = Named(new QGroupBox(QStringLiteral("Batches")), "grpBatchesLB");
    auto* label =
        Named(new QLabel(QStringLiteral("Max number of batch log files:"), group), "lblLogCountLB");
    QLineEdit* edit = NumberEdit("edtLogCountLB", group);
    label->setBuddy(edit);
    FLogCountTrack = TrackBar("tbrLogCountLB", 100, 5, group);
    FLogCount = new TNumberTrackPair(edit, FLogCountTrack, this);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(FLogCountTrack, 1);
    layout->addLayout(row);
    FPageStarts.push_back(edit);
    return Page("tsLogging", group);
}

void TFormOptions::ShowOptions() {
    const TProgramOptions& options = *FModule.FProgramOptions;
    FPages->setCurrentIndex(0);
    FDefaultProject->setText(options.FProjectUserDefaultPath);
    FLoadLastProject->setChecked(options.FProjectAlwaysLoadLast);
    // A stored number outside a bar's range shows as the nearest end of it.
    FReopenSize->SetValue(options.FProjectReopenListSize);
    FSaveWindows->setChecked(options.FSaveWindowsSetup);
    FSaveToolbars->setChecked(options.FSaveToolbarsSetup);
    FSaveMisc->setChecked(options.FSaveMiscSetup);
    FHumanSafeMode->setChecked(options.FHumanSafeMode);
    FLogCount->SetValue(options.FBatchLogCount);
}

void TFormOptions::RestoreSetup() {
    const TProgramOptions& options = *FModule.FProgramOptions;
    if (!options.FSaveWindowsSetup && !options.FSaveMiscSetup)
        return;
    const TIniDocument ini = TIniDocument::FromFile(FModule.Folders().OptionsFilePath());
    if (options.FSaveWindowsSetup && ini.ValueExists(KSetupSection, KSetupKeyGeometry))
        restoreGeometry(QByteArray::fromBase64(
            ini.ReadString(KSetupSection, KSetupKeyGeometry, QString()).toLatin1()));
    const int page = ini.ReadInteger(KSetupSection, KSetupKeyPage, -1);
    if (options.FSaveMiscSetup && page >= 0 && page < FPages->count())
        FPages->setCurrentIndex(page);
}

void TFormOptions::StoreSetup() {
    // The options as they are now: OK may just have changed what is kept.
    const TProgramOptions& options = *FModule.FProgramOptions;
    if (!options.FSaveWindowsSetup && !options.FSaveMiscSetup)
        return;
    try {
        const QString path = FModule.Folders().OptionsFilePath();
        TIniDocument ini = TIniDocument::FromFile(path);
        if (options.FSaveWindowsSetup)
            ini.WriteString(KSetupSection, KSetupKeyGeometry,
                            QString::fromLatin1(saveGeometry().toBase64()));
        if (options.FSaveMiscSetup)
            ini.WriteInteger(KSetupSection, KSetupKeyPage, FPages->currentIndex());
        QString error;
        if (!WriteFileAtomically(path, ini.ToText().toUtf8(), &error))
            FModule.FLogging.Log(
                nullptr, nullptr,
                QStringLiteral("The options dialog's setup could not be kept: ") + error);
    } catch (const std::exception& e) {
        // A destructor must not throw; the program log has it.
        FModule.FLogging.Log(nullptr, &e, QStringLiteral("Keeping the options dialog's setup"));
    }
}

void TFormOptions::Accept() {
    TProgramOptions& options = *FModule.FProgramOptions;
    // What is typed counts as given; the numbers are the bars' positions.
    options.FProjectUserDefaultPath = FDefaultProject->text();
    options.FProjectAlwaysLoadLast = FLoadLastProject->isChecked();
    options.FProjectReopenListSize = FReopenSize->Value();
    options.FSaveWindowsSetup = FSaveWindows->isChecked();
    options.FSaveToolbarsSetup = FSaveToolbars->isChecked();
    options.FSaveMiscSetup = FSaveMisc->isChecked();
    options.FHumanSafeMode = FHumanSafeMode->isChecked();
    {
        // A running batch reads the count when it ends, on its own thread.
        const std::lock_guard lock(FModule.FBatchStatusSetCS);
        options.FBatchLogCount = FLogCount->Value();
    }
    options.PruneReopenList(options.FProjectReopenListSize);
    if (FSetup.OnReopenListPruned)
        FSetup.OnReopenListPruned();
    accept();
}

void TFormOptions::ChooseDefaultProject() {
    if (!FSetup.ChooseFile)
        return;
    const std::optional<QString> chosen = FSetup.ChooseFile(FSetup.FileDialog);
    if (chosen.has_value() && !chosen->isEmpty())
        FDefaultProject->setText(*chosen);
}

void TFormOptions::showEvent(QShowEvent* AEvent) {
    QDialog::showEvent(AEvent);
    FocusPageStart();
}

void TFormOptions::FocusPageStart() {
    const int page = FPages->currentIndex();
    if (page < 0 || page >= static_cast<int>(FPageStarts.size()))
        return;
    QWidget* start = FPageStarts[static_cast<size_t>(page)];
    start->setFocus(Qt::OtherFocusReason);
    // Until the dialog is active no focus change is told; the pane shows the start's help.
    ShowHelpFor(start);
}

void TFormOptions::ShowHelpFor(QWidget* AControl) {
    const auto found = FHelpTexts.constFind(AControl);
    QString text;
    if (found == FHelpTexts.cend()) {
        text = TranslatedMessage(KTextNoHelpAvailableTopic);
    } else {
        TqvlgDynVars vars;
        if (found->Range != nullptr)
            vars = {{QStringLiteral("dynValueMin"), QString::number(found->Range->minimum())},
                    {QStringLiteral("dynValueMax"), QString::number(found->Range->maximum())}};
        text = TranslatedMessage(*found->Text, vars);
    }
    FHelp->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TFormOptions::LanguageCulture_SetNativeOnce() {
    TqvlgLanguageController& core = FModule.FLanguageComposite->Core();
    for (const TqvlgNativeText& text : OptionsHelpNativeTexts())
        core.Set_TransResStr_Native(text.TransID, text.Section, text.Key, text.Native,
                                    text.TmplSysName);
}

void TFormOptions::LanguageCulture_SetNativeOnce_GUI() {
    FAssistants.FControls.Save_Trans_Controls(KTransIdProgram, KTransSection, this);
}

void TFormOptions::LanguageCulture_LoadCurrent_GUI() {
    FAssistants.FControls.Load_Trans_Controls(KTransIdProgram, KTransSection, this);
    setLayoutDirection(QApplication::layoutDirection());
}

void TFormOptions::UpdateVisuals() {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && focus != FHelp && focus->window() == this)
        ShowHelpFor(focus);
}
