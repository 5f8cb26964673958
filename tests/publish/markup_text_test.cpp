// Menu texts with markup against the allow list the script library shares: the same table of
// texts is rendered in real browsers by tests/web.
#include "menu_markup.h"
#include "value_helpers.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

using namespace quilso;

namespace {

nlohmann::json markupCases() {
    std::ifstream in(QUILSO_MARKUP_TEXTS);
    return nlohmann::json::parse(in).at("cases");
}

} // namespace

TEST(MarkupTexts, KeepOnlyTheAllowList) {
    const nlohmann::json cases = markupCases();
    ASSERT_GE(cases.size(), 20u);
    for (const nlohmann::json& c : cases) {
        const std::string text = c.at("text");
        // As the writer stores it with the option on.
        const LinkText result = StaticLinkText(HtmlEncode(text, true));
        EXPECT_EQ(result.markup, c.at("markup").get<std::string>()) << text;
    }
}
