// Placeholder until the panel is built; keeps the main window compiling.
#pragma once

#include "style_panel.h"

class TFrameFont : public StylePanel {
    Q_OBJECT
public:
    using StylePanel::StylePanel;
    void declarationRead(quilso::BlockKind, std::string_view, bool) override {}
};
