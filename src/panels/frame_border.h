// Placeholder until the panel is built; keeps the main window compiling.
#pragma once

#include "style_panel.h"

class TFrameBorder : public StylePanel {
    Q_OBJECT
public:
    using StylePanel::StylePanel;
    void declarationRead(quilso::BlockKind, std::string_view, bool) override {}
    // Brings the panel in line with the loaded border values (ring "Rahmen", sides, marks).
    void RefreshBorderPanel() {}
    // frameBorderM and frameBorderUM: the width field has no key filter and does not raise
    // editPending. Called by the main window after setup.
    void setWidthFieldFiltered(bool filtered) { (void)filtered; }
    void blockScanFinished() override { RefreshBorderPanel(); }
};
