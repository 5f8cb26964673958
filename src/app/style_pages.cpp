#include "style_pages.h"

#include "background_panel.h"
#include "border_panel.h"
#include "font_panel.h"
#include "position_panel.h"
#include "text_panel.h"

#include <QTabWidget>
#include <QVBoxLayout>

using quilso::MenuKind;

StylePages::StylePages(QTabWidget* pageTabs, StyleEditor* editor, EditState* editState) : editor_(editor) {
    struct TabInfo {
        const char* sheet;
        const char* control;
        const char* caption;
        const char* frame;
    };
    const TabInfo tabs[PanelTabCount] = {
        {"tsFont", "pcFont", "Schrift", "frameFont"},
        {"tsText", "pcText", "Text", "frameText"},
        {"tsPosition", "pcPosition", "Position", "framePos"},
        {"tsBorder", "pcBorder", "Rahmen", "frameBorder"},
        {"tsBackground", "pcBackground", "Hintergrund", "frameBackground"},
    };
    static const char* const suffix[quilso::MenuKindCount] = {"M", "UM", "BC"};
    for (int tab = 0; tab < PanelTabCount; ++tab) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString::fromLatin1(tabs[tab].sheet));
        auto* inner = new QTabWidget(sheet);
        inner->setObjectName(QString::fromLatin1(tabs[tab].control));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->addWidget(inner);
        for (int kind = 0; kind < quilso::MenuKindCount; ++kind) {
            StylePanel* panel = nullptr;
            switch (tab) {
            case FontTab:
                panel = new FontPanel;
                break;
            case TextTab:
                panel = new TextPanel;
                break;
            case PositionTab:
                panel = new PositionPanel;
                break;
            case BorderTab:
                panel = new BorderPanel;
                break;
            default:
                panel = new BackgroundPanel;
                break;
            }
            panel->setObjectName(QString::fromLatin1(tabs[tab].frame) + QString::fromLatin1(suffix[kind]));
            panels_[kind][tab] = panel;
            const std::string_view label = quilso::MenuLabelsUtf8[std::size_t(kind)];
            inner->addTab(panel, QString::fromUtf8(label.data(), qsizetype(label.size())));
        }
        pageTabs->addTab(sheet, QString::fromUtf8(tabs[tab].caption));
    }
    // Set-up order: position, text, font, border, background.
    for (int tab : {PositionTab, TextTab, FontTab, BorderTab, BackgroundTab})
        for (int kind = 0; kind < quilso::MenuKindCount; ++kind)
            panels_[kind][tab]->setup(MenuKind(kind), editor, editState);

    // The sub menu cannot float or clear, the breadcrumb trail has no width setting.
    for (const char* name : {"rgPosClear", "rgPosFloat"})
        if (auto* w = panels_[quilso::MenuSub][PositionTab]->findChild<QWidget*>(QString::fromLatin1(name)))
            w->hide();
    if (auto* w =
            panels_[quilso::MenuBreadcrumb][PositionTab]->findChild<QWidget*>(QStringLiteral("gbPosBreite")))
        w->hide();
    static_cast<BorderPanel*>(panels_[quilso::MenuMain][BorderTab])->setWidthFieldFiltered(false);
    static_cast<BorderPanel*>(panels_[quilso::MenuSub][BorderTab])->setWidthFieldFiltered(false);
}

void StylePages::declarationRead(MenuKind kind, quilso::BlockKind block, std::string_view property,
                                 bool stored) {
    for (StylePanel* panel : panels_[kind])
        panel->declarationRead(block, property, stored);
}

void StylePages::blockScanFinished() {
    for (auto& panels : panels_)
        for (StylePanel* panel : panels)
            panel->blockScanFinished();
}

void StylePages::showRecord(MenuKind kind, const quilso::MenuStyle& previous) {
    for (StylePanel* panel : panels_[kind])
        panel->showRecord(editor_->style(kind), previous);
}
