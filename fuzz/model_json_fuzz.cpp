// Reads arbitrary bytes as the JSON model that `quilso-cli build` takes, over a project that
// already holds a model, and checks what must hold for any input.
#include "model_json.h"
#include "writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Something in every part of the project, so a refused model that changed anything shows.
void fillProject(quilso::Project& p) {
    p.params.options.isTag = true;
    p.params.css[quilso::MenuMain].widthValue = "150";
    p.params.css[quilso::MenuSub].fontFamilies = {"Verdana", "sans-serif"};
    quilso::SiteNode* top = p.tree.insert(p.tree.root(), -1, {"Start", "index.htm"});
    p.tree.insert(top, -1, {"Unter", "unter.htm"});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quilso::Project project;
    fillProject(project);
    const std::string before = quilso::ProjectToJson(project);
    try {
        quilso::ProjectFromJson(bytes, project);
    } catch (const quilso::ModelError&) {
        // A refused model leaves the project as it was.
        if (quilso::ProjectToJson(project) != before) std::abort();
        return 0;
    }
    // An accepted model survives a dump and a build unchanged, and the writer takes it.
    const std::string dumped = quilso::ProjectToJson(project);
    quilso::Project again;
    try {
        quilso::ProjectFromJson(dumped, again);
    } catch (const quilso::ModelError&) {
        std::abort();
    }
    if (quilso::ProjectToJson(again) != dumped) std::abort();
    (void)quilso::BuildMenuScriptText(project, quilso::ProgramInfo{}, "01.01.2000");
    return 0;
}
