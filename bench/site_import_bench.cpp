// Importing a site of 10,000 pages in 500 folders (target: under 5 s) and checking the
// imported project against it. The pages are a few kilobytes each with their title in the head,
// as real pages are; the files are written once and then read from the page cache, so the
// figures are for a folder the author has recently worked in.
#include "link_check.h"
#include "site_import.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

constexpr int TopFolders = 20;
constexpr int SubFolders = 24; // per top folder, plus the top folder itself: 500 folders
constexpr int PagesPerFolder = 20;

const fs::path& SiteDir() {
    static const fs::path dir = [] {
        const fs::path root = fs::temp_directory_path() / ("quilso-site-bench-" + std::to_string(::getpid()));
        std::string filler;
        for (int i = 0; i < 60; ++i)
            filler += "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod.</p>\n";
        int page = 0;
        const auto writeFolder = [&](const fs::path& folder, int pages) {
            fs::create_directories(folder);
            for (int p = 0; p < pages; ++p, ++page) {
                const std::string name = p == 0 ? "index.htm" : "seite " + std::to_string(p) + ".htm";
                std::ofstream(folder / name, std::ios::binary)
                    << "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">\n"
                       "<link rel=\"stylesheet\" href=\"/site.css\">\n<script src=\"/menu.js\"></script>\n"
                       "<title>Seite "
                    << page << " &ndash; Größe " << p << " – Beispiel GmbH</title>\n</head><body>\n"
                    << filler << "</body></html>\n";
            }
        };
        for (int t = 0; t < TopFolders; ++t) {
            const fs::path top = root / ("bereich " + std::to_string(t));
            writeFolder(top, PagesPerFolder);
            for (int s = 0; s < SubFolders; ++s)
                writeFolder(top / ("thema-ä" + std::to_string(s)), PagesPerFolder);
        }
        return root;
    }();
    return dir;
}

double lastImportSeconds = 0;

void BM_ImportFolder(benchmark::State& state) {
    const fs::path& site = SiteDir();
    std::size_t pages = 0;
    for (auto _ : state) {
        SiteTree tree;
        const auto start = std::chrono::steady_clock::now();
        const auto summary = ImportSite(site, site, tree);
        lastImportSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        pages = summary->pages;
        benchmark::DoNotOptimize(tree.size());
    }
    state.counters["pages"] = static_cast<double>(pages);
}
BENCHMARK(BM_ImportFolder)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CheckImportedSite(benchmark::State& state) {
    const fs::path& site = SiteDir();
    Project project;
    ImportSite(site, site, project.tree);
    std::size_t findings = 0;
    for (auto _ : state)
        findings = CheckProject(project, {site / "menu.js", {}}).size();
    state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_CheckImportedSite)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nimport of %d pages in %d folders: %.2f s (target < 5 s)\n",
                TopFolders * (SubFolders + 1) * PagesPerFolder, TopFolders * (SubFolders + 1),
                lastImportSeconds);
    std::error_code ignored;
    fs::remove_all(SiteDir(), ignored);
    return 0;
}
