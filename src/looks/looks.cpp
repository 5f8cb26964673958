#include "looks.h"

#include "contrast.h"
#include "file_io.h"
#include "model_json.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace quilso {

namespace fs = std::filesystem;

namespace {

fs::path lookFile(const fs::path& dir, std::string_view name) {
    return dir / (std::string(name) + std::string(LookFileSuffix));
}

void requireName(std::string_view name) {
    const std::string problem = LookNameProblem(name);
    if (!problem.empty()) throw FileError(std::string(name), problem);
}

std::vector<Look> looksIn(const fs::path& dir, bool builtIn) {
    std::vector<Look> looks;
    std::error_code error;
    if (dir.empty() || !fs::is_directory(dir, error)) return looks;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        const fs::path& path = entry.path();
        const std::string file = path.filename().string();
        if (path.extension() != LookFileSuffix || file.front() == '.') continue;
        try {
            looks.push_back(ReadLook(path, builtIn));
        } catch (const std::exception& e) {
            Look broken;
            broken.name = path.stem().string();
            broken.file = path;
            broken.builtIn = builtIn;
            broken.error = e.what();
            looks.push_back(std::move(broken));
        }
    }
    std::sort(looks.begin(), looks.end(), [](const Look& a, const Look& b) { return a.name < b.name; });
    return looks;
}

} // namespace

Look ReadLook(const fs::path& file, bool builtIn) {
    Look look;
    look.name = file.stem().string();
    look.file = file;
    look.builtIn = builtIn;
    try {
        StylesFromJson(ReadFileBytes(file.string(), FileKinds::RegularOnly), look.css);
    } catch (const ModelError& e) {
        throw ModelError(file.string() + ": " + e.what());
    }
    return look;
}

std::vector<Look> ListLooks(const fs::path& builtInDir, const fs::path& userDir) {
    std::vector<Look> looks = looksIn(builtInDir, true);
    std::vector<Look> own = looksIn(userDir, false);
    std::move(own.begin(), own.end(), std::back_inserter(looks));
    return looks;
}

const Look* FindLook(const std::vector<Look>& looks, std::string_view name) {
    const auto found =
        std::find_if(looks.begin(), looks.end(), [&](const Look& look) { return look.name == name; });
    return found == looks.end() ? nullptr : &*found;
}

void ApplyLook(const Look& look, ProjectParams& params) {
    std::copy(std::begin(look.css), std::end(look.css), std::begin(params.css));
}

double LowestContrast(const MenuStyle (&css)[MenuKindCount]) {
    double lowest = 21;
    for (int s = 0; s < MenuStateCount; ++s) {
        const auto state = static_cast<MenuState>(s);
        for (const MenuStyle& menu : css)
            lowest = std::min(lowest, ContrastOf(menu, state).ratio);
        lowest = std::min(lowest, NestedSubContrastOf(css[MenuSub], css[MenuMain], state).ratio);
    }
    return lowest;
}

fs::path UserLooksDir() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && fs::path(dataHome).is_absolute()) return fs::path(dataHome) / "quilso" / "styles";
    const char* home = std::getenv("HOME");
    if (home && *home) return fs::path(home) / ".local" / "share" / "quilso" / "styles";
    return {};
}

fs::path FindShippedLooks(const fs::path& programDir) {
    const fs::path dir = programDir.empty() ? fs::path(".") : programDir;
    for (const fs::path& candidate : {dir / "styles", dir / ".." / "share" / "quilso" / "styles"}) {
        std::error_code ignored;
        if (fs::is_directory(candidate, ignored)) return candidate.lexically_normal();
    }
    return {};
}

std::string LookNameProblem(std::string_view name) {
    if (name.empty()) return "Der Name ist leer.";
    if (name.front() == '.' || name.front() == ' ')
        return "Der Name darf nicht mit einem Punkt oder Leerzeichen beginnen.";
    if (name.size() > 100) return "Der Name ist l\xC3\xA4nger als 100 Zeichen.";
    for (const char c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "Der Name darf keinen Schr\xC3\xA4gstrich und keine Steuerzeichen enthalten.";
    return {};
}

void SaveLook(const fs::path& dir, std::string_view name, const ProjectParams& params) {
    requireName(name);
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) throw FileError(dir.string(), error.message());
    WriteFileAtomically(lookFile(dir, name).string(), StylesToJson(params.css));
}

void RenameLook(const fs::path& dir, std::string_view from, std::string_view to) {
    requireName(to);
    const fs::path target = lookFile(dir, to);
    std::error_code error;
    if (fs::exists(target, error))
        throw FileError(target.string(), "Eine Stilvorlage dieses Namens gibt es schon.");
    fs::rename(lookFile(dir, from), target, error);
    if (error) throw FileError(lookFile(dir, from).string(), error.message());
}

void RemoveLook(const fs::path& dir, std::string_view name) {
    std::error_code error;
    if (!fs::remove(lookFile(dir, name), error) || error)
        throw FileError(lookFile(dir, name).string(),
                        error ? error.message() : std::string("Die Datei gibt es nicht mehr."));
}

} // namespace quilso
