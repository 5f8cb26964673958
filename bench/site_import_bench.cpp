// Importing a site of 10,000 pages in 500 folders (target: under 5 s) and checking the
// imported project against it. The pages are a few kilobytes each with their title in the head,
// as real pages are; the files are written once and then read from the page cache, so the
// figures are for a folder the author has recently worked in.
//
// Then, each in a fresh process of this program and against 10x less input:
//   - importing 100,000 pages in folders 30 levels deep, every other level without an index page,
//   - importing a sitemap of 1,000,000 addresses,
// each with its growth in CPU time for 10x the input (target <= 11x) and its peak memory
// (target <= 2x the input + 30 MB, the input being the pages' or the sitemap's bytes).
#include "fresh_process.h"
#include "link_check.h"
#include "site_import.h"
#include "writer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
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

// A site of `pages` pages: chains of folders 30 levels deep side by side, 1,000 pages to a
// chain, spread evenly over its levels; the odd levels have no index page, so their entries come
// from the pages below them.
constexpr int Levels = 30;
fs::path DeepSite(const fs::path& root, long pages) {
    const std::string filler(900, 'x');
    const long chains = pages / 1000;
    long written = 0;
    for (long chain = 0; chain < chains; ++chain) {
        fs::path folder = root / ("bereich-" + std::to_string(chain));
        for (int level = 0; level < Levels; ++level) {
            fs::create_directories(folder);
            const long here = 1000 * (level + 1) / Levels - 1000 * level / Levels;
            for (long p = 0; p < here; ++p, ++written) {
                const std::string name =
                    p == 0 && level % 2 == 0 ? "index.htm" : "seite-" + std::to_string(written) + ".htm";
                std::ofstream(folder / name, std::ios::binary)
                    << "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">\n<title>Seite "
                    << written << " &ndash; Ebene " << level << " | Beispiel GmbH</title>\n</head><body><p>"
                    << filler << "</p></body></html>\n";
            }
            folder /= "ebene-" + std::to_string(level + 1);
        }
    }
    return root;
}

// A sitemap of `addresses` addresses as generators write them: one <url> with its <lastmod> a
// line each, 50 categories of 200 groups.
fs::path Sitemap(const fs::path& file, long addresses) {
    std::ofstream out(file, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    char line[256];
    for (long i = 0; i < addresses; ++i) {
        std::snprintf(line, sizeof line,
                      "  <url>\n    <loc>https://www.beispiel-shop.de/produkte/kategorie-%02ld/gruppe-%03ld/"
                      "artikel-%07ld.html</loc>\n    <lastmod>2026-11-%02ld</lastmod>\n  </url>\n",
                      i % 50, i / 50 % 200, i, i % 28 + 1);
        out << line;
    }
    out << "</urlset>\n";
    return file;
}

std::uintmax_t InputBytes(const fs::path& source) {
    if (fs::is_regular_file(source)) return fs::file_size(source);
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source))
        if (entry.is_regular_file()) bytes += entry.file_size();
    return bytes;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// What `quilso-cli import` does with a source, the project written to nowhere.
void ImportAndWrite(const fs::path& source) {
    Project project;
    const auto summary =
        ImportSite(source, fs::is_directory(source) ? source : source.parent_path(), project.tree);
    std::size_t bytes = 0;
    WriteMenuScriptTo([&](std::string_view piece) { bytes += piece.size(); }, project, ProgramInfo{});
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(summary);
}

// The fresh-process modes: the import's CPU time in ms, or the process's peak memory in kB.
int ImportCpu(const char* source) {
    const double start = CpuSeconds();
    ImportAndWrite(source);
    std::printf("%.1f\n", (CpuSeconds() - start) * 1000);
    return 0;
}
int ImportPeak(const char* source) {
    ImportAndWrite(source);
    std::printf("%ld\n", bench::PeakResidentKb());
    return 0;
}

struct Figure {
    double cpuMs;
    double peakMb;
    double inputMb;
};

// The least CPU time of five fresh imports (other work on the machine only ever adds), and
// the peak of one.
Figure Measure(const std::string& self, const fs::path& source, const fs::path& workDir) {
    double cpu = -1;
    for (int run = 0; run < 5; ++run) {
        const double ms = bench::FigureOfFreshProcess(self, "--import-cpu", source, workDir);
        if (ms >= 0 && (cpu < 0 || ms < cpu)) cpu = ms;
    }
    return {cpu, bench::FigureOfFreshProcess(self, "--import-peak", source, workDir) / 1024.0,
            static_cast<double>(InputBytes(source)) / 1048576.0};
}

void PrintGrowth(const char* what, const char* smallName, const Figure& small, const char* largeName,
                 const Figure& large) {
    const double growth = large.cpuMs / small.cpuMs;
    std::printf("  %-44s %s %8.0f ms, %s %8.0f ms, growth %5.2f (target <= 11)%s\n", what, smallName,
                small.cpuMs, largeName, large.cpuMs, growth,
                small.cpuMs > 0 && growth <= 11 ? "" : "   NOT MET");
    for (const auto& [name, figure] : {std::pair{smallName, small}, std::pair{largeName, large}}) {
        const double limit = 2 * figure.inputMb + 30;
        std::printf("  %44s %s: input %7.1f MB, peak %7.1f MB, limit 2x+30 = %7.1f MB%s\n", "", name,
                    figure.inputMb, figure.peakMb, limit,
                    figure.peakMb > 0 && figure.peakMb <= limit ? "" : "   NOT MET");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--import-cpu") return ImportCpu(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--import-peak") return ImportPeak(argv[2]);
    const std::string self = fs::canonical("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nimport of %d pages in %d folders: %.2f s (target < 5 s)\n",
                TopFolders * (SubFolders + 1) * PagesPerFolder, TopFolders * (SubFolders + 1),
                lastImportSeconds);
    std::error_code ignored;
    fs::remove_all(SiteDir(), ignored);

    const fs::path work = fs::temp_directory_path() / ("quilso-import-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    std::printf("\nIn a fresh process each (CPU time, least of 5; peak memory as VmHWM):\n");
    const Figure deep10k = Measure(self, DeepSite(work / "deep-10000", 10000), work);
    fs::remove_all(work / "deep-10000", ignored);
    const Figure deep100k = Measure(self, DeepSite(work / "deep-100000", 100000), work);
    fs::remove_all(work / "deep-100000", ignored);
    PrintGrowth("import, folders 30 levels deep", "10,000 pages", deep10k, "100,000 pages", deep100k);
    const Figure map100k = Measure(self, Sitemap(work / "sitemap-100000.xml", 100000), work);
    const Figure map1m = Measure(self, Sitemap(work / "sitemap-1000000.xml", 1000000), work);
    PrintGrowth("import of a sitemap", "100,000 addresses", map100k, "1,000,000 addresses", map1m);
    fs::remove_all(work, ignored);
    return 0;
}
