#include "ui/translation/language_assistants.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "translation/language_controller.h"

namespace {

const QString KCaption = QStringLiteral(".Caption");
const QString KHint = QStringLiteral(".Hint");
const QString KShortCut = QStringLiteral(".ShortCut");

// Names Qt gives its own helper widgets; they carry no text of ours.
bool IsOwnName(const QString& AName) {
    return !AName.isEmpty() && !AName.startsWith(QLatin1String("qt_"));
}

bool CaptionIsData(const QObject* AObj) {
    return AObj->property(KPropCaptionIsData).toBool();
}

QString ShortCutText(const QAction* AAction) {
    return AAction->shortcut().toString(QKeySequence::PortableText);
}

// The hint of an action or menu item is its status tip; the tool tip follows it, so that a
// hint shows in the status bar and over tool buttons alike.
void SetActionHint(QAction* AAction, const QString& AHint) {
    AAction->setStatusTip(AHint);
    AAction->setToolTip(AHint);
}

// The texts an action and a menu item share; ASave registers them, otherwise they are applied.
template <typename TSave, typename TLoad>
void ActionTexts(QAction* AAction, const QString& AName, bool ASave, const TSave& ASaveText,
                 const TLoad& ALoadText) {
    if (ASave) {
        ASaveText(AName + KCaption, AAction->text());
        ASaveText(AName + KHint, AAction->statusTip());
        ASaveText(AName + KShortCut, ShortCutText(AAction));
        return;
    }
    AAction->setText(ALoadText(AName + KCaption, AAction->text()));
    SetActionHint(AAction, ALoadText(AName + KHint, AAction->statusTip()));
    const QString shortCut = ALoadText(AName + KShortCut, ShortCutText(AAction));
    AAction->setShortcut(QKeySequence::fromString(shortCut, QKeySequence::PortableText));
}

}  // namespace

void MarkCaptionIsData(QWidget* AControl) {
    AControl->setProperty(KPropCaptionIsData, true);
}

TqvlgLanguageAssistant::TqvlgLanguageAssistant(TqvlgLanguageController& ACore, QString AKindPrefix)
    : FCore(ACore), FKindPrefix(std::move(AKindPrefix)) {}

void TqvlgLanguageAssistant::SaveText(const QString& ATransID, const QString& ASection,
                                      const QString& AKey, const QString& AValue) {
    const QString section = FKindPrefix + ASection;
    FNative.insert(section + QLatin1Char('|') + AKey, AValue);
    FCore.Set_TransGuiStr_Native(ATransID, section, AKey, AValue);
}

QString TqvlgLanguageAssistant::LoadText(const QString& ATransID, const QString& ASection,
                                         const QString& AKey, const QString& ACurrent) {
    const QString section = FKindPrefix + ASection;
    const auto native = FNative.constFind(section + QLatin1Char('|') + AKey);
    const QString fallback = native != FNative.cend() ? *native : ACurrent;
    return FCore.Get_TransGuiStr(ATransID, section, AKey, fallback);
}

// --- Actions

TqvlgLanguageAssistantActions::TqvlgLanguageAssistantActions(TqvlgLanguageController& ACore)
    : TqvlgLanguageAssistant(ACore, KKindPrefixActions) {}

void TqvlgLanguageAssistantActions::Save_Trans_ActionList(const QString& ATransID,
                                                          const QString& ASection,
                                                          const QList<QAction*>& AObj) {
    for (QAction* action : AObj) {
        if (!IsOwnName(action->objectName()))
            continue;
        action->setProperty(KPropListedAction, true);
        ActionTexts(
            action, action->objectName(), true,
            [&](const QString& AKey, const QString& AValue) {
                SaveText(ATransID, ASection, AKey, AValue);
            },
            [](const QString&, const QString& ACurrent) { return ACurrent; });
    }
}

void TqvlgLanguageAssistantActions::Load_Trans_ActionList(const QString& ATransID,
                                                          const QString& ASection,
                                                          const QList<QAction*>& AObj) {
    for (QAction* action : AObj) {
        if (!IsOwnName(action->objectName()))
            continue;
        ActionTexts(
            action, action->objectName(), false, [](const QString&, const QString&) {},
            [&](const QString& AKey, const QString& ACurrent) {
                return LoadText(ATransID, ASection, AKey, ACurrent);
            });
    }
}

// --- Menus

TqvlgLanguageAssistantMenus::TqvlgLanguageAssistantMenus(TqvlgLanguageController& ACore)
    : TqvlgLanguageAssistant(ACore, KKindPrefixMenus) {}

void TqvlgLanguageAssistantMenus::Save_Trans_Menu(const QString& ATransID, const QString& ASection,
                                                  QMenuBar* AObj) {
    Walk(ATransID, ASection, AObj->actions(), true);
}

void TqvlgLanguageAssistantMenus::Load_Trans_Menu(const QString& ATransID, const QString& ASection,
                                                  QMenuBar* AObj) {
    Walk(ATransID, ASection, AObj->actions(), false);
}

void TqvlgLanguageAssistantMenus::Walk(const QString& ATransID, const QString& ASection,
                                       const QList<QAction*>& AItems, bool ASave) {
    for (QAction* item : AItems) {
        if (item->isSeparator() || item->property(KPropListedAction).toBool())
            continue;
        QMenu* sub = item->menu();
        // A submenu is named by its menu; an item of its own by its action.
        const QString name = sub != nullptr ? sub->objectName() : item->objectName();
        if (IsOwnName(name) && !item->property(KPropCaptionIsData).toBool())
            ActionTexts(
                item, name, ASave,
                [&](const QString& AKey, const QString& AValue) {
                    SaveText(ATransID, ASection, AKey, AValue);
                },
                [&](const QString& AKey, const QString& ACurrent) {
                    return LoadText(ATransID, ASection, AKey, ACurrent);
                });
        if (sub != nullptr)
            Walk(ATransID, ASection, sub->actions(), ASave);
    }
}

// --- Controls

TqvlgLanguageAssistantControls::TqvlgLanguageAssistantControls(TqvlgLanguageController& ACore)
    : TqvlgLanguageAssistant(ACore, KKindPrefixControls) {}

void TqvlgLanguageAssistantControls::Save_Trans_Controls(const QString& ATransID,
                                                         const QString& ASection, QWidget* AObj) {
    WalkControls(ATransID, ASection, AObj, true);
}

void TqvlgLanguageAssistantControls::Load_Trans_Controls(const QString& ATransID,
                                                         const QString& ASection, QWidget* AObj) {
    WalkControls(ATransID, ASection, AObj, false);
}

void TqvlgLanguageAssistantControls::Save_Trans_PageControl(const QString& ATransID,
                                                            const QString& ASection,
                                                            QTabWidget* AObj) {
    PageControl(ATransID, ASection, AObj, true);
}

void TqvlgLanguageAssistantControls::Load_Trans_PageControl(const QString& ATransID,
                                                            const QString& ASection,
                                                            QTabWidget* AObj) {
    PageControl(ATransID, ASection, AObj, false);
}

void TqvlgLanguageAssistantControls::WalkControls(const QString& ATransID, const QString& ASection,
                                                  QWidget* ARoot, bool ASave) {
    Control(ATransID, ASection, ARoot, ASave);
    for (QWidget* child : ARoot->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        // A frame with a section of its own registers and applies its own texts.
        if (!child->property(KPropFrameSection).toString().isEmpty())
            continue;
        if (auto* pages = qobject_cast<QTabWidget*>(child))
            PageControl(ATransID, ASection, pages, ASave);
        WalkControls(ATransID, ASection, child, ASave);
    }
}

void TqvlgLanguageAssistantControls::Control(const QString& ATransID, const QString& ASection,
                                             QWidget* AObj, bool ASave) {
    const QString name = AObj->objectName();
    if (!IsOwnName(name))
        return;
    const auto text = [&](const QString& AKey, const QString& ACurrent) {
        if (ASave) {
            SaveText(ATransID, ASection, name + AKey, ACurrent);
            return ACurrent;
        }
        return LoadText(ATransID, ASection, name + AKey, ACurrent);
    };
    const bool caption = !CaptionIsData(AObj);
    if (auto* label = qobject_cast<QLabel*>(AObj); label != nullptr && caption) {
        const QString value = text(KCaption, label->text());
        if (!ASave)
            label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(AObj); button != nullptr && caption) {
        const QString value = text(KCaption, button->text());
        if (!ASave)
            button->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(AObj); group != nullptr && caption) {
        const QString value = text(KCaption, group->title());
        if (!ASave)
            group->setTitle(value);
    } else if (AObj->isWindow() && caption) {
        const QString value = text(KCaption, AObj->windowTitle());
        if (!ASave)
            AObj->setWindowTitle(value);
    } else if (auto* tree = qobject_cast<QTreeWidget*>(AObj);
               tree != nullptr && !tree->isHeaderHidden()) {
        QTreeWidgetItem* header = tree->headerItem();
        for (int i = 0; header != nullptr && i < header->columnCount(); ++i) {
            const QString value = text(QStringLiteral(".Columns[%1]").arg(i), header->text(i));
            if (!ASave)
                header->setText(i, value);
        }
    }
    const QString hint = text(KHint, AObj->toolTip());
    if (!ASave)
        AObj->setToolTip(hint);
}

void TqvlgLanguageAssistantControls::PageControl(const QString& ATransID, const QString& ASection,
                                                 QTabWidget* AObj, bool ASave) {
    for (int i = 0; i < AObj->count(); ++i) {
        const QString name = AObj->widget(i)->objectName();
        if (!IsOwnName(name))
            continue;
        const QString key = name + KCaption;
        if (ASave)
            SaveText(ATransID, ASection, key, AObj->tabText(i));
        else
            AObj->setTabText(i, LoadText(ATransID, ASection, key, AObj->tabText(i)));
    }
}

// --- Stored strings

TqvlgLanguageAssistantStoredResources::TqvlgLanguageAssistantStoredResources(
    TqvlgLanguageController& ACore)
    : TqvlgLanguageAssistant(ACore, KKindPrefixStoredRes) {}

void TqvlgLanguageAssistantStoredResources::Save_Trans_StoredString(const QString& ATransID,
                                                                    const QString& ASection,
                                                                    const TqvlgStoredString& AObj) {
    SaveText(ATransID, ASection, AObj.Name() + QStringLiteral(".Str"), AObj.Native());
}

void TqvlgLanguageAssistantStoredResources::Load_Trans_StoredString(const QString& ATransID,
                                                                    const QString& ASection,
                                                                    TqvlgStoredString& AObj) {
    AObj.SetStr(LoadText(ATransID, ASection, AObj.Name() + QStringLiteral(".Str"), AObj.Str()));
}

void LoadCurrentLanguageInAllWindows() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* translated = dynamic_cast<TqvlgTranslatedWindow*>(window)) {
            translated->LanguageCulture_LoadCurrent_GUI();
            translated->UpdateVisuals();
        }
}
