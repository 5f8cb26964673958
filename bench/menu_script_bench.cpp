// Reading and writing generated menu script files of 1,000 to 1,000,000 entries, with the
// lines in writer order, reversed and shuffled, and a 100,000-level chain listed backwards.
// After the runs the ratios that matter are printed side by side:
//   - `quilso-cli resave` of the 1,000,000-entry file against `wc -l` plus `cp` of it (target
//     <= 5x), the resave flushed to disk against cp without and with `sync`, and unflushed,
//   - reading the file against `wc -l` on it (throughput, target >= 0.15),
//   - writing it as a save does, without the flush, against `cat` copying it (target >= 0.5),
//   - time growth for 10x the entries (target <= 11x) in every order,
//   - reading one menu text of 1.6 million "&#" without a ';' (3.2 MB; target well under 1 s),
//   - the first read of the 100,000- and 1,000,000-entry files in a fresh process, with its
//     growth: no target, but the reads above reuse memory freed by the reads before them,
//   - writing the same two trees with the caches emptied before each write, with its growth: no
//     target, but the smaller tree written again and again stays in the cache,
//   - peak memory while reading (target <= 2x the file size + 30 MB), measured in a fresh child
//     process of this program as its VmHWM from /proc/self/status after the read,
//   - `quilso-cli check --json` of the 100,000- and 1,000,000-entry files and of chains 10,000 and
//     100,000 deep, each in a fresh process: time, its growth for 10x (target <= 11x) and peak
//     memory (target <= 2x the file size + 30 MB).
//   - `quilso-cli publish` of the 1,000,000-entry project and of the 100,000-level chain, each
//     with its growth from a tenth of the entries (target <= 11x) and the peak memory of the
//     command (target <= 2x the project file + the largest page + 30 MB).
//   - peak memory of `quilso-cli` resave, dump and build on the inputs that took the most (target
//     <= 2x the largest file the command reads or writes + 30 MB), from the command's resource
//     usage as a child of a fresh process of this program.
// `menu_script_bench --write-files DIR` only writes the generated files into DIR and keeps them.
#include "fresh_process.h"
#include "reader.h"
#include "value_helpers.h"
#include "writer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

const std::string Stamp = "06.12.2026 14:51:03";
const long Sizes[] = {1000, 100000, 1000000};
const char* const Orders[] = {"writer", "reversed", "shuffled"};
constexpr long ChainDepth = 100000;
// The publish figures: a ten-way tree and a chain, each also at a tenth of its entries.
struct PublishFigure {
    const char* name;
    long entries;
    bool chain;
};
const PublishFigure PublishFigures[] = {{"100000", 100000, false},
                                        {"1000000", 1000000, false},
                                        {"chain-10000", 10000, true},
                                        {"chain-100000", ChainDepth, true}};
// The runs of a million entries take one iteration each; every run is repeated.
constexpr int Repeats = 3;
// What waits for the disk (a resave, a copy with sync) is repeated more often: the writes of the
// runs before it are still being flushed, and a run that meets them takes several times as long,
// CPU time included.
constexpr int FlushedRepeats = 5;

fs::path WorkDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("quilso-bench-" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

ProgramInfo Program() {
    ProgramInfo program;
    // A library of realistic length; its lines are scanned by the reader like every other line.
    for (int i = 0; i < 400; ++i)
        program.functionsLines.push_back("  if (ca[i].parent == cs && depth < " + std::to_string(i) +
                                         ") { html = html + '<li>' + ca[i].text + '</li>'; }");
    return program;
}

// A ten-way tree (ten top-level entries, every entry with up to ten children), or a chain.
void MakeProject(long entries, bool chain, Project& project) {
    std::vector<SiteNode*> nodes;
    nodes.reserve(static_cast<std::size_t>(entries));
    for (long k = 0; k < entries; ++k) {
        SiteNode* parent = chain
                               ? (k == 0 ? project.tree.root() : nodes.back())
                               : (k < 10 ? project.tree.root() : nodes[static_cast<std::size_t>(k / 10 - 1)]);
        // Every fourth text needs its character reference decoded on reading.
        std::string text = (k % 4 == 0 ? "Men\xFC"
                                         "eintrag "
                                       : "Eintrag ") +
                           std::to_string(k);
        nodes.push_back(
            project.tree.insert(parent, -1, {std::move(text), "seite" + std::to_string(k) + ".htm"}));
    }
}

// The file of `project` with its menu lines listed in the given order of entry numbers.
std::string FileText(const Project& project, const std::string& order) {
    const std::string written = BuildMenuScriptText(project, Program(), Stamp);
    if (order == "writer") return written;
    const std::string head = "function menuinit()\t{\r\n";
    const std::size_t bodyStart = written.find(head) + head.size();
    const std::size_t bodyEnd = written.find("\r\n}\r\n", bodyStart) + 2;

    // Display numbers and links, as the writer numbers them.
    std::vector<const SiteNode*> nodes;
    project.tree.forEachPreorder([&](const SiteNode* n, int) { nodes.push_back(n); });
    std::unordered_map<const SiteNode*, long> number;
    number.reserve(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i)
        number[nodes[i]] = static_cast<long>(i);
    const long n = static_cast<long>(nodes.size());
    std::vector<long> line(static_cast<std::size_t>(n)); // line[position] = entry number
    std::iota(line.begin(), line.end(), 0);
    if (order == "reversed") std::reverse(line.begin(), line.end());
    if (order == "shuffled") std::shuffle(line.begin(), line.end(), std::mt19937(1234));
    std::vector<long> position(static_cast<std::size_t>(n));
    for (long p = 0; p < n; ++p)
        position[static_cast<std::size_t>(line[static_cast<std::size_t>(p)])] = p;
    auto link = [&](const SiteNode* node) {
        return node && !node->isRoot() ? std::to_string(position[static_cast<std::size_t>(number[node])])
                                       : std::string("cs");
    };
    std::string body;
    body.reserve(bodyEnd - bodyStart);
    for (long p = 0; p < n; ++p) {
        const SiteNode* node = nodes[static_cast<std::size_t>(line[static_cast<std::size_t>(p)])];
        body += "ca[" + std::to_string(p) + "] = new cr(\"" +
                JsEscape(HtmlEncode(node->entry.text, false), '"') + "\", \"" +
                JsEscape(node->entry.file, '"') + "\", " + link(node->nextSibling()) + ", " +
                link(node->parent()) + ", " + link(node->childCount() ? node->child(0) : nullptr) + ");\r\n";
    }
    return written.substr(0, bodyStart) + body + written.substr(bodyEnd);
}

// Generated once per run and kept on disk (in the page cache) for all benchmarks.
fs::path File(const std::string& key, long entries, bool chain, const std::string& order) {
    static std::map<std::string, fs::path> files;
    if (auto it = files.find(key); it != files.end()) return it->second;
    Project project;
    MakeProject(entries, chain, project);
    const fs::path path = WorkDir() / (key + ".js");
    std::ofstream(path, std::ios::binary) << FileText(project, order);
    return files[key] = path;
}

std::string Key(const std::string& order, long entries) {
    return order + "-" + std::to_string(entries);
}

void Read(benchmark::State& state, fs::path path) {
    ReadObserver none;
    for (auto _ : state) {
        auto project = std::make_unique<Project>();
        ReadProjectFile(path.string(), *project, none);
        benchmark::DoNotOptimize(project->tree.size());
        // Freeing a million nodes leaves work for the allocator's next large request; settle it
        // here, outside the timing, so that each read starts from a quiet heap. The large blocks
        // the read before freed are still kept for reuse, as when a project is opened after
        // another; the first read of a fresh process is timed apart (FirstRead).
        state.PauseTiming();
        project.reset();
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(path)));
}

// A file whose only menu text is `repeats` times "&#": every '&' starts something that looks
// like a reference, and none ends.
fs::path AmpersandHashFile(long repeats) {
    const fs::path path = WorkDir() / ("ampersand-hash-" + std::to_string(repeats) + ".js");
    std::string text;
    text.reserve(static_cast<std::size_t>(repeats) * 2);
    for (long i = 0; i < repeats; ++i)
        text += "&#";
    std::ofstream(path, std::ios::binary) << "ca[0] = new cr(\"" << text << "\", \"a.htm\", cs, cs, cs);\r\n";
    return path;
}

// Writing as the program saves: atomically, flushed to disk.
void WriteSaved(benchmark::State& state, long entries, bool chain) {
    Project project;
    MakeProject(entries, chain, project);
    const ProgramInfo program = Program();
    const fs::path out = WorkDir() / "written.js";
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    for (auto _ : state)
        WriteMenuScript(out.string(), project, program);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(out)));
}

// Pushes what the runs before left in the processor's caches out of them, by writing to more
// memory than the caches hold.
void EmptyCaches() {
    static std::vector<char> other(std::size_t(512) << 20, 1);
    for (std::size_t i = 0; i < other.size(); i += 64)
        ++other[i];
    benchmark::DoNotOptimize(other.data());
}

// Writing as a save does, in pieces through a small buffer, without the flush to disk. With
// `coldCaches` every write starts with caches that hold nothing of the tree or the file, as the
// first save after other work does; a tree of 100,000 entries written again and again otherwise
// stays in the cache, which one of 1,000,000 cannot.
void WriteUnflushed(benchmark::State& state, long entries, bool chain, bool coldCaches) {
    Project project;
    MakeProject(entries, chain, project);
    const ProgramInfo program = Program();
    const fs::path out = WorkDir() / "written.js";
    for (auto _ : state) {
        if (coldCaches) {
            state.PauseTiming();
            EmptyCaches();
            state.ResumeTiming();
        }
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        WriteMenuScriptTo(
            [&](std::string_view piece) {
                if (::write(fd, piece.data(), piece.size()) != static_cast<ssize_t>(piece.size()))
                    state.SkipWithError("write failed");
            },
            project, program);
        ::close(fd);
    }
}

// What a child process used: its real and CPU time and its peak resident size.
struct ChildUse {
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKb = 0;
};

// Runs a shell command and waits for it; `use` receives what it used. The peak is the largest of
// the shell and the processes it waited for, and counts what this process held when it started
// the shell: only a fresh, small process measures another's peak this way.
int RunShell(const std::string& command, ChildUse* use = nullptr) {
    pid_t pid;
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (use) {
        use->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        use->cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        use->peakKb = usage.ru_maxrss;
    }
    return status;
}

double ChildrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs a shell command; besides the real time it reports the CPU time the command itself used.
void Shell(benchmark::State& state, std::string command) {
    const double before = ChildrenCpuSeconds();
    for (auto _ : state)
        if (bench::RunShell(command) != 0) state.SkipWithError(("failed: " + command).c_str());
    state.counters["child_cpu_ms"] =
        (ChildrenCpuSeconds() - before) * 1000 / static_cast<double>(state.iterations());
}

// Keeps the real and CPU time per iteration of every run, for the ratios printed at the end. Of
// repeated runs the least is kept: on a busy machine other work only ever adds to a figure.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds, cpuSeconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.iterations > 0 && run.run_type == Run::RT_Iteration) {
                std::string name = run.benchmark_name();
                if (const auto at = name.find("/real_time"); at != std::string::npos)
                    name.erase(at, std::string_view("/real_time").size());
                if (const auto at = name.find("/repeats:"); at != std::string::npos)
                    name.erase(at, name.find('/', at + 1) - at);
                const double real = run.real_accumulated_time / static_cast<double>(run.iterations);
                // A command's own CPU time, or this process's for the reader and writer.
                const auto child = run.counters.find("child_cpu_ms");
                const double cpu = child != run.counters.end()
                                       ? child->second.value / 1000
                                       : run.cpu_accumulated_time / static_cast<double>(run.iterations);
                keepLeast(seconds, name, real);
                keepLeast(cpuSeconds, name, cpu);
            }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    static void keepLeast(std::map<std::string, double>& figures, const std::string& name, double value) {
        const auto [it, added] = figures.emplace(name, value);
        if (!added) it->second = std::min(it->second, value);
    }
};

// Reads the file in this process and prints the peak resident size (VmHWM) in kB.
int PeakRead(const char* path) {
    Project project;
    ReadObserver none;
    ReadProjectFile(path, project, none);
    std::printf("%ld\n", bench::PeakResidentKb());
    return 0;
}

// Writes the generated files of a million entries (and the chain) into `dir` and keeps them, for
// comparing the output of two builds or profiling one read outside the benchmark.
int WriteFiles(const char* dir) {
    fs::create_directories(dir);
    for (const char* order : Orders)
        for (long n : Sizes)
            fs::copy_file(File(Key(order, n), n, false, order), fs::path(dir) / (Key(order, n) + ".js"),
                          fs::copy_options::overwrite_existing);
    fs::copy_file(File("chain-backwards-100000", ChainDepth, true, "reversed"),
                  fs::path(dir) / "chain-backwards-100000.js", fs::copy_options::overwrite_existing);
    fs::remove_all(WorkDir());
    return 0;
}

// Reads the file in this process and prints how long the read took, in ms: the first read of a
// process gets fresh memory from the system, every page of it faulted in and zeroed.
int FirstRead(const char* path) {
    Project project;
    ReadObserver none;
    const auto start = std::chrono::steady_clock::now();
    ReadProjectFile(path, project, none);
    std::printf("%.3f\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    return 0;
}

// The figures a fresh process of this program prints for `mode` (--first-read, --peak-read,
// --check-use) on `file`.
std::vector<double> FiguresOfFreshProcess(const std::string& self, const char* mode, const fs::path& file) {
    const fs::path out = WorkDir() / "figure.txt";
    RunShell("'" + self + "' " + mode + " '" + file.string() + "' > '" + out.string() + "'");
    std::vector<double> figures;
    std::ifstream in(out);
    for (double figure; in >> figure;)
        figures.push_back(figure);
    return figures;
}

// Runs the command `argv` (a program and its arguments) with its standard output going to the
// file `output` (its standard error dropped), and prints the peak resident size of that process in kB, as the
// system counted it for the child. Exit status 1 when the command could not be run.
int PeakCommand(const char* output, char** argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // A refused model's message is expected; the figure is what counts.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return 1;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return 1;
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}

// The one figure a fresh process of this program prints when run with `args` (--first-read
// FILE, --peak-read FILE, --peak-command OUTPUT COMMAND...).
double FigureOfFreshProcess(const std::string& self, const std::vector<std::string>& args) {
    const fs::path out = WorkDir() / "figure.txt";
    std::string command = "'" + self + "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    RunShell(command + " > '" + out.string() + "'");
    double figure = -1;
    std::ifstream(out) >> figure;
    return figure;
}

double FigureOfFreshProcess(const std::string& self, const char* mode, const fs::path& file) {
    const std::vector<double> figures = FiguresOfFreshProcess(self, mode, file);
    return figures.empty() ? -1 : figures.front();
}

// The median of five first reads, each in a process of its own.
double MeasureFirstReadMs(const std::string& self, const fs::path& file) {
    std::vector<double> times;
    for (int run = 0; run < 5; ++run)
        times.push_back(bench::FigureOfFreshProcess(self, "--first-read", file, WorkDir()));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

long MeasurePeakKb(const std::string& self, const fs::path& file) {
    return static_cast<long>(bench::FigureOfFreshProcess(self, "--peak-read", file, WorkDir()));
}

#ifdef QUILSO_CLI
// ---- publishing ----

// A page that asks for every block.
const char* const MarkedPage = "<!DOCTYPE html>\n<html><head><title>Seite</title>\n"
                               "<!-- quilso:css --><!-- /quilso:css -->\n</head><body>\n"
                               "<!-- quilso:bc --><!-- /quilso:bc -->\n<!-- quilso:m --><!-- /quilso:m -->\n"
                               "<p>Inhalt</p></body></html>\n";

// A site to publish: the project as menu.js in a folder of its own, and a page with every block
// for the entries `pages` names (their file names are "seiteK.htm"); the other entries' pages are
// missing, so that the site's output grows as the tree does.
struct PublishedSite {
    fs::path folder;
    std::vector<fs::path> pages;
};

PublishedSite MakePublishedSite(const std::string& key, long entries, bool chain,
                                const std::vector<long>& pages) {
    PublishedSite site{WorkDir() / ("publish-" + key), {}};
    fs::create_directories(site.folder);
    fs::copy_file(File(key, entries, chain, "writer"), site.folder / "menu.js",
                  fs::copy_options::overwrite_existing);
    for (long k : pages)
        site.pages.push_back(site.folder / ("seite" + std::to_string(k) + ".htm"));
    return site;
}

// Every 1,000th entry of a ten-way tree; the top and the deepest entry of a chain, whose sub menu
// and trail hold the whole chain.
std::vector<long> PublishedPages(long entries, bool chain) {
    std::vector<long> pages;
    if (chain) return {0, entries - 1};
    for (long k = 0; k < entries; k += 1000)
        pages.push_back(k);
    return pages;
}

// `quilso-cli publish` as a whole, its output thrown away; every run starts from pages with empty
// blocks, so that each run writes them.
void PublishCommand(benchmark::State& state, std::string cli, PublishedSite site) {
    const double before = ChildrenCpuSeconds();
    const std::string command =
        "'" + cli + "' publish '" + (site.folder / "menu.js").string() + "' > /dev/null";
    for (auto _ : state) {
        state.PauseTiming();
        for (const fs::path& page : site.pages)
            std::ofstream(page, std::ios::binary) << MarkedPage;
        state.ResumeTiming();
        if (RunShell(command) != 0) state.SkipWithError(("failed: " + command).c_str());
    }
    state.counters["child_cpu_ms"] =
        (ChildrenCpuSeconds() - before) * 1000 / static_cast<double>(state.iterations());
}

// Runs `quilso-cli publish` on `projectFile` and prints its peak resident size in kB. Run in a
// fresh process of this program: a command started from the benchmark process itself is counted
// with that process's own peak, which it shares until it starts the program.
int PeakPublish(const char* projectFile) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execl(QUILSO_CLI, QUILSO_CLI, "publish", projectFile, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    std::printf("%ld\n", WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1L);
    return 0;
}

// The peak memory of one publish run in kB, and the size of the largest page it leaves in bytes.
std::pair<long, std::uintmax_t> PublishPeak(const std::string& self, const PublishedSite& site) {
    for (const fs::path& page : site.pages)
        std::ofstream(page, std::ios::binary) << MarkedPage;
    const long peak =
        static_cast<long>(FigureOfFreshProcess(self, "--peak-publish", site.folder / "menu.js"));
    std::uintmax_t largest = 0;
    for (const fs::path& page : site.pages)
        largest = std::max(largest, fs::file_size(page));
    return {peak, largest};
}

#endif

// Peak memory of the command-line tool on the inputs that once took the most: each command in a
// fresh process, against twice the largest file it reads or writes plus 30 MB.
void CommandPeaks(const std::string& self, const std::string& cli) {
    const fs::path dir = WorkDir();
    // One menu text of 250 MB in a file of one menu line.
    const fs::path oneLine = dir / "one-line-250mb.js";
    {
        std::ofstream out(oneLine, std::ios::binary);
        out << "/* application\r\nca[0] = new cr(\"";
        const std::string block(std::size_t(1) << 20, 'a');
        for (int i = 0; i < 250; ++i)
            out << block;
        out << "\", \"a.htm\", cs, cs, cs);\r\n";
    }
    // A model of a million empty entries (3 MB), and one of 40 MB of numbers under a key no model
    // has, which is refused.
    const fs::path emptyEntries = dir / "empty-entries.json";
    {
        std::string json = "{\"tree\": [{}";
        for (int i = 1; i < 1000000; ++i)
            json += ",{}";
        std::ofstream(emptyEntries, std::ios::binary) << json << "]}\n";
    }
    const fs::path numbers = dir / "numbers.json";
    {
        std::string json = "{\"numbers\": [0";
        for (long i = 1; json.size() < (std::size_t(40) << 20); ++i)
            json += "," + std::to_string(i);
        std::ofstream(numbers, std::ios::binary) << json << "]}\n";
    }
    const fs::path million = dir / (Key("writer", 1000000) + ".js");
    const fs::path out = dir / "command-out", library = dir / "library.js";
    std::ofstream(library) << "function cr(text, file, next, parent, child) {\n}\n";
    struct Case {
        const char* name;
        fs::path input;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"resave, one 250 MB line",
         oneLine,
         {"resave", oneLine.string(), out.string(), "--library", library.string()}},
        {"resave, 1,000,000 entries",
         million,
         {"resave", million.string(), out.string(), "--library", library.string()}},
        {"dump, 1,000,000 entries", million, {"dump", million.string()}},
        {"build, 1,000,000 empty entries",
         emptyEntries,
         {"build", emptyEntries.string(), out.string(), "--library", library.string()}},
        {"build, 40 MB of numbers (refused)",
         numbers,
         {"build", numbers.string(), out.string(), "--library", library.string()}},
    };
    std::printf("\nPeak memory of quilso-cli commands (the command's own peak resident size as a child):\n");
    for (const Case& c : cases) {
        if (!fs::exists(c.input)) continue;
        fs::remove(out);
        std::vector<std::string> args = {"--peak-command", (dir / "stdout").string(), cli};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const double peakMb = FigureOfFreshProcess(self, args) / 1024.0;
        double largest = static_cast<double>(fs::file_size(c.input));
        for (const fs::path& written : {out, dir / "stdout"})
            if (fs::exists(written)) largest = std::max(largest, static_cast<double>(fs::file_size(written)));
        const double largestMb = largest / 1048576.0, limit = 2 * largestMb + 30;
        std::printf("  %-36s largest file %7.1f MB, peak %7.1f MB, limit 2x+30 = %7.1f MB%s\n", c.name,
                    largestMb, peakMb, limit, peakMb <= limit ? "" : "   NOT MET");
    }
    for (const fs::path& made : {oneLine, emptyEntries, numbers, out, library, dir / "stdout"})
        fs::remove(made);
}

void Ratio(const char* what, double value, const char* target, bool met) {
    std::printf("  %-62s %9.2f   (target %s)%s\n", what, value, target, met ? "" : "   NOT MET");
}

#ifdef QUILSO_CLI
// Runs `quilso-cli check --json` on the file, its output thrown away, and prints its real and CPU
// seconds and its peak resident size in kB. Started in a fresh process of this program, so that
// the peak the system reports for the child is not the benchmark's own, which a child started
// from it takes over until it runs the command.
int CheckUseHere(const char* file) {
    ChildUse use;
    RunShell("'" QUILSO_CLI "' check '" + std::string(file) + "' --json > /dev/null", &use);
    std::printf("%.6f %.6f %ld\n", use.seconds, use.cpuSeconds, use.peakKb);
    return 0;
}

// The least real and CPU time of the runs (other work on the machine only ever adds to them) and
// the largest peak.
ChildUse CheckUse(const std::string& self, const fs::path& file) {
    ChildUse figures{1e300, 1e300, 0};
    for (int run = 0; run < Repeats; ++run) {
        const std::vector<double> use = FiguresOfFreshProcess(self, "--check-use", file);
        if (use.size() != 3) return {-1, -1, -1};
        figures.seconds = std::min(figures.seconds, use[0]);
        figures.cpuSeconds = std::min(figures.cpuSeconds, use[1]);
        figures.peakKb = std::max(figures.peakKb, static_cast<long>(use[2]));
    }
    return figures;
}

// Checks the smaller and the larger project, prints time and peak of each against the limit of
// twice the project file plus 30 MB (no page exists, so there is no page to add), and the growth.
void PrintCheckFigures(const std::string& self, const std::string& name, const fs::path& small,
                       const fs::path& large) {
    ChildUse uses[2];
    for (int k = 0; k < 2; ++k) {
        const fs::path& file = k == 0 ? small : large;
        uses[k] = CheckUse(self, file);
        const double fileMb = static_cast<double>(fs::file_size(file)) / 1048576.0;
        const double peakMb = static_cast<double>(uses[k].peakKb) / 1024.0;
        const double limit = 2 * fileMb + 30;
        std::printf("  %-28s file %6.1f MB: %7.2f s (CPU %7.2f s), peak %6.1f MB, limit 2x+30 = %6.1f MB%s\n",
                    file.stem().c_str(), fileMb, uses[k].seconds, uses[k].cpuSeconds, peakMb, limit,
                    peakMb <= limit ? "" : "   NOT MET");
    }
    const double growth = uses[1].seconds / uses[0].seconds,
                 cpuGrowth = uses[1].cpuSeconds / uses[0].cpuSeconds;
    Ratio(("check, " + name + ": real time growth for 10x").c_str(), growth, "<= 11", growth <= 11);
    Ratio(("check, " + name + ": CPU time growth for 10x").c_str(), cpuGrowth, "<= 11", cpuGrowth <= 11);
}
#endif

// Every run is timed by real time in milliseconds, and repeated.
void Timed(benchmark::internal::Benchmark* run, int repeats = Repeats) {
    run->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(repeats);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--peak-command") return PeakCommand(argv[2], argv + 3);
    if (argc == 3 && std::string(argv[1]) == "--peak-read") return PeakRead(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--first-read") return FirstRead(argv[2]);
#ifdef QUILSO_CLI
    if (argc == 3 && std::string(argv[1]) == "--peak-publish") return PeakPublish(argv[2]);
#endif
    if (argc == 3 && std::string(argv[1]) == "--write-files") return WriteFiles(argv[2]);
#ifdef QUILSO_CLI
    if (argc == 3 && std::string(argv[1]) == "--check-use") return CheckUseHere(argv[2]);
#endif
    const std::string self = fs::canonical("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);

    for (const char* order : Orders)
        for (long n : Sizes)
            Timed(benchmark::RegisterBenchmark(("Read/" + Key(order, n)).c_str(), Read,
                                               File(Key(order, n), n, false, order)));
    Timed(benchmark::RegisterBenchmark("Read/chain-backwards-100000", Read,
                                       File("chain-backwards-100000", ChainDepth, true, "reversed")));
    Timed(benchmark::RegisterBenchmark("Read/ampersand-hash-1600000", Read, AmpersandHashFile(1600000)));
    for (long n : Sizes) {
        Timed(
            benchmark::RegisterBenchmark(("WriteSaved/" + std::to_string(n)).c_str(), WriteSaved, n, false));
        Timed(benchmark::RegisterBenchmark(("WriteUnflushed/" + std::to_string(n)).c_str(), WriteUnflushed, n,
                                           false, false));
    }
    for (long n : {100000L, 1000000L})
        Timed(benchmark::RegisterBenchmark(("WriteUnflushedColdCaches/" + std::to_string(n)).c_str(),
                                           WriteUnflushed, n, false, true));
    Timed(benchmark::RegisterBenchmark("WriteSaved/chain-100000", WriteSaved, ChainDepth, true));
    const fs::path big = File(Key("writer", 1000000), 1000000, false, "writer");
    const std::string copy = (WorkDir() / "copy.js").string();
    Timed(
        benchmark::RegisterBenchmark("Tool/wc-l-1000000", Shell, "wc -l '" + big.string() + "' > /dev/null"));
    Timed(benchmark::RegisterBenchmark("Tool/cat-copy-1000000", Shell,
                                       "cat '" + big.string() + "' > '" + copy + "'"));
    Timed(benchmark::RegisterBenchmark("Tool/cat-copy-sync-1000000", Shell,
                                       "cat '" + big.string() + "' > '" + copy + "' && sync '" + copy + "'"),
          FlushedRepeats);
    Timed(benchmark::RegisterBenchmark("Tool/cp-1000000", Shell, "cp '" + big.string() + "' '" + copy + "'"));
    Timed(benchmark::RegisterBenchmark("Tool/cp-sync-1000000", Shell,
                                       "cp '" + big.string() + "' '" + copy + "' && sync '" + copy + "'"),
          FlushedRepeats);
#ifdef QUILSO_CLI
    const std::string cli = QUILSO_CLI;
    const std::string resaved = (WorkDir() / "resaved.js").string();
    Timed(benchmark::RegisterBenchmark("Tool/resave-1000000", Shell,
                                       "'" + cli + "' resave '" + big.string() + "' '" + resaved + "'"),
          FlushedRepeats);
    Timed(benchmark::RegisterBenchmark("Tool/resave-unflushed-1000000", Shell,
                                       "'" + cli + "' resave '" + big.string() + "' - > '" + resaved + "'"));
    std::map<std::string, PublishedSite> publishedSites;
    for (const auto& [name, entries, chain] : PublishFigures) {
        const std::string key = chain ? "chain-writer-" + std::to_string(entries) : Key("writer", entries);
        publishedSites[name] = MakePublishedSite(key, entries, chain, PublishedPages(entries, chain));
        Timed(benchmark::RegisterBenchmark((std::string("Publish/") + name).c_str(), PublishCommand, cli,
                                           publishedSites[name]));
    }
#endif

    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const auto& t = collector.seconds;
    auto time = [&](const std::string& name) {
        const auto it = t.find(name);
        return it == t.end() ? -1.0 : it->second;
    };

    std::printf(
        "\nRatios, all from the runs above. Real time counts waiting for a busy machine too; CPU time is\n"
        "what each side used itself (for wc and cat their own CPU time as a child process).\n");
    const auto cpu = [&](const std::string& name) {
        const auto it = collector.cpuSeconds.find(name);
        return it == collector.cpuSeconds.end() ? -1.0 : it->second;
    };
    for (const bool useCpu : {false, true}) {
        const auto m = [&](const std::string& name) { return useCpu ? cpu(name) : time(name); };
        std::printf(useCpu ? " by CPU time:\n" : " by real time:\n");
        const double wc = m("Tool/wc-l-1000000"), read = m("Read/writer-1000000");
        const double cp = m("Tool/cp-1000000"), cpSync = m("Tool/cp-sync-1000000");
        const double resave = m("Tool/resave-1000000"), resaveUnflushed = m("Tool/resave-unflushed-1000000");
        if (wc > 0 && cp > 0 && resave > 0)
            Ratio("resave 1,000,000 entries (flushed) / (wc -l + cp)", resave / (wc + cp), "<= 5",
                  resave / (wc + cp) <= 5);
        if (wc > 0 && cpSync > 0 && resave > 0)
            Ratio("resave 1,000,000 entries (flushed) / (wc -l + cp + sync)", resave / (wc + cpSync), "<= 5",
                  resave / (wc + cpSync) <= 5);
        if (wc > 0 && cp > 0 && resaveUnflushed > 0)
            Ratio("resave 1,000,000 entries (no flush) / (wc -l + cp)", resaveUnflushed / (wc + cp), "<= 5",
                  resaveUnflushed / (wc + cp) <= 5);
        if (wc > 0 && read > 0)
            Ratio("reading 1,000,000 entries: throughput / wc -l throughput", wc / read, ">= 0.15",
                  wc / read >= 0.15);
        const double cat = m("Tool/cat-copy-1000000"), unflushed = m("WriteUnflushed/1000000");
        if (cat > 0 && unflushed > 0)
            Ratio("writing 1,000,000 entries (no flush): throughput / cat", cat / unflushed, ">= 0.50",
                  cat / unflushed >= 0.5);
        const double catSync = m("Tool/cat-copy-sync-1000000"), saved = m("WriteSaved/1000000");
        if (catSync > 0 && saved > 0)
            Ratio("saving 1,000,000 entries (flushed): throughput / cat + sync", catSync / saved, ">= 0.20",
                  catSync / saved >= 0.2);
        for (const char* order : Orders) {
            const double t1k = m("Read/" + Key(order, 1000));
            const double t100k = m("Read/" + Key(order, 100000));
            const double t1m = m("Read/" + Key(order, 1000000));
            const std::string o = order;
            if (t100k > 0 && t1m > 0)
                Ratio(("reading, " + o + " order: time(1,000,000) / time(100,000)").c_str(), t1m / t100k,
                      "<= 11", t1m / t100k <= 11);
            if (t1k > 0 && t100k > 0)
                Ratio(("reading, " + o + " order: time(100,000) / time(1,000)").c_str(), t100k / t1k,
                      "<= 144", t100k / t1k <= 144);
        }
        const double hostile = m("Read/ampersand-hash-1600000");
        if (hostile > 0)
            Ratio("reading 1.6 million \"&#\" in one menu text: seconds", hostile, "< 1", hostile < 1);
        const double w1k = m("WriteSaved/1000"), w100k = m("WriteSaved/100000"),
                     w1m = m("WriteSaved/1000000");
        if (w100k > 0 && w1m > 0)
            Ratio("saving: time(1,000,000) / time(100,000)", w1m / w100k, "<= 11", w1m / w100k <= 11);
        if (w1k > 0 && w100k > 0)
            Ratio("saving: time(100,000) / time(1,000)", w100k / w1k, "<= 144", w100k / w1k <= 144);
        const double u100k = m("WriteUnflushed/100000"), u1m = m("WriteUnflushed/1000000");
        if (u100k > 0 && u1m > 0)
            Ratio("writing (no flush): time(1,000,000) / time(100,000)", u1m / u100k, "<= 11",
                  u1m / u100k <= 11);
    }

    // Every display number of the larger file has one digit more, so its lines are longer: the
    // bytes alone grow more than tenfold, and a growth of time is best read next to this one.
    {
        const fs::path small = WorkDir() / (Key("writer", 100000) + ".js");
        const fs::path large = WorkDir() / (Key("writer", 1000000) + ".js");
        if (fs::exists(small) && fs::exists(large))
            std::printf("\nFile size, writer order: 100,000 entries %.1f MB, 1,000,000 entries %.1f MB, "
                        "growth %.2f\n",
                        static_cast<double>(fs::file_size(small)) / 1048576.0,
                        static_cast<double>(fs::file_size(large)) / 1048576.0,
                        static_cast<double>(fs::file_size(large)) /
                            static_cast<double>(fs::file_size(small)));
    }

    {
        const std::string name = "WriteUnflushedColdCaches/";
        const double r100k = time(name + "100000"), r1m = time(name + "1000000");
        const double c100k = cpu(name + "100000"), c1m = cpu(name + "1000000");
        if (r100k > 0 && r1m > 0 && c100k > 0 && c1m > 0)
            std::printf(
                "\nWriting (no flush) with the caches emptied before each write (no target, for comparison\n"
                "with the writes above):\n"
                "  real time 100,000 entries %.1f ms, 1,000,000 entries %.1f ms, growth %.2f\n"
                "  CPU time  100,000 entries %.1f ms, 1,000,000 entries %.1f ms, growth %.2f\n",
                r100k * 1e3, r1m * 1e3, r1m / r100k, c100k * 1e3, c1m * 1e3, c1m / c100k);
    }

    std::printf(
        "\nFirst read in a fresh process (median of 5; no target, for comparison with the reads above):\n");
    for (const char* order : Orders) {
        const fs::path small = WorkDir() / (Key(order, 100000) + ".js");
        const fs::path large = WorkDir() / (Key(order, 1000000) + ".js");
        if (!fs::exists(small) || !fs::exists(large)) continue;
        const double t100k = MeasureFirstReadMs(self, small), t1m = MeasureFirstReadMs(self, large);
        std::printf("  %-10s 100,000 entries %7.1f ms, 1,000,000 entries %7.1f ms, growth %5.2f\n", order,
                    t100k, t1m, t1m / t100k);
    }

    std::printf("\nPeak memory while reading (VmHWM of a fresh process that only reads the file):\n");
    for (const std::string& key :
         {Key("writer", 1000000), Key("shuffled", 1000000), std::string("chain-backwards-100000")}) {
        const fs::path file = WorkDir() / (key + ".js");
        if (!fs::exists(file)) continue;
        const double fileMb = static_cast<double>(fs::file_size(file)) / 1048576.0;
        const double peakMb = static_cast<double>(MeasurePeakKb(self, file)) / 1024.0;
        const double limit = 2 * fileMb + 30;
        std::printf("  %-28s file %7.1f MB, peak %7.1f MB, limit 2x+30 = %7.1f MB, peak/file %.2f%s\n",
                    key.c_str(), fileMb, peakMb, limit, peakMb / fileMb, peakMb <= limit ? "" : "   NOT MET");
    }
#ifdef QUILSO_CLI
    std::printf("\nquilso-cli check --json in a fresh process (least of %d runs; no page of the generated\n"
                "projects exists, so every entry is a finding):\n",
                Repeats);
    PrintCheckFigures(self, "10x the entries", File(Key("writer", 100000), 100000, false, "writer"),
                      File(Key("writer", 1000000), 1000000, false, "writer"));
    PrintCheckFigures(self, "a chain 10x as deep",
                      File("chain-backwards-10000", ChainDepth / 10, true, "reversed"),
                      File("chain-backwards-100000", ChainDepth, true, "reversed"));
    std::printf(
        "\nPublishing (quilso-cli publish; a page for every 1,000th entry of the tree, the top and the\n"
        "deepest page of the chain; growth from a tenth of the entries, target <= 11):\n");
    for (const auto& [large, small] :
         {std::pair<std::string, std::string>{"1000000", "100000"}, {"chain-100000", "chain-10000"}}) {
        const double real = time("Publish/" + large), realSmall = time("Publish/" + small);
        const double used = cpu("Publish/" + large), usedSmall = cpu("Publish/" + small);
        if (real <= 0 || realSmall <= 0) continue;
        std::printf("  %-14s real %8.1f ms (a tenth: %7.1f ms), growth %5.2f%s\n", large.c_str(), real * 1e3,
                    realSmall * 1e3, real / realSmall, real / realSmall <= 11 ? "" : "   NOT MET");
        std::printf("  %-14s CPU  %8.1f ms (a tenth: %7.1f ms), growth %5.2f%s\n", "", used * 1e3,
                    usedSmall * 1e3, used / usedSmall, used / usedSmall <= 11 ? "" : "   NOT MET");
    }
    std::printf("\nPeak memory while publishing (the command's own, a fresh run):\n");
    for (const auto& [name, site] : publishedSites) {
        const auto [peakKb, largestPage] = PublishPeak(self, site);
        const double fileMb = static_cast<double>(fs::file_size(site.folder / "menu.js")) / 1048576.0;
        const double pageMb = static_cast<double>(largestPage) / 1048576.0;
        const double peakMb = static_cast<double>(peakKb) / 1024.0;
        const double limit = 2 * fileMb + pageMb + 30;
        std::printf(
            "  %-14s file %6.1f MB, largest page %6.1f MB, peak %6.1f MB, limit 2x+page+30 = %6.1f MB%s\n",
            name.c_str(), fileMb, pageMb, peakMb, limit, peakMb <= limit ? "" : "   NOT MET");
    }
    CommandPeaks(self, QUILSO_CLI);
#endif
    fs::remove_all(WorkDir());
    benchmark::Shutdown();
    return 0;
}
