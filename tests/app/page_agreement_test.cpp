// The link check, publish, the import and the preview with its page server are asked about the
// same entries of the same site folder: each must name the same page, or say alike that there is
// none or that it lies outside the folder.
#include "link_check.h"
#include "live_preview.h"
#include "preview_scheme_handler.h"
#include "publish.h"
#include "site_import.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

// A page that includes the menu script file from `depth` folders down, with markers to publish.
std::string markedPage(int depth) {
    std::string up;
    for (int i = 0; i < depth; ++i)
        up += "../";
    return "<html><head><title>Seite</title><script src=\"" + up +
           "menu.js\"></script></head><body><!-- quilso:m --><!-- /quilso:m --></body></html>";
}

class PageAgreement : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        const fs::path root(QFile::encodeName(temp_.path()).toStdString());
        site_ = root / "site";
        put("index.htm", markedPage(0));
        put("shop/index.php", markedPage(1));
        put("blog/index.html", markedPage(1));
        put("news/index.htm", markedPage(1));
        put("leer/bild.png", "");
        put("../outside/target.htm", markedPage(1));
        fs::create_symlink("../outside/target.htm", site_ / "link_out.htm");
        fs::create_directory_symlink("../outside", site_ / "outdir");
    }
    void put(const std::string& relative, const std::string& bytes) {
        const fs::path path = site_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    QString folder() const { return QFile::decodeName(site_.c_str()); }

    // "found <page>", "missing" or "outside" as each part sees the entry; the check names no
    // page, only "found".
    std::string checkSays(const std::string& file) const {
        SiteTree tree;
        tree.insert(tree.root(), -1, {"Eintrag", file});
        std::string verdict = "found";
        for (const Finding& finding : CheckSiteLinks(tree, {site_ / "menu.js", {}})) {
            if (finding.entry != 0) continue;
            if (finding.kind == FindingKind::MissingPage) return "missing";
            if (finding.kind == FindingKind::PageOutside) return "outside";
            // The page was found and read: had it been another one, its script would be missed.
            verdict = "found, but " + finding.message;
        }
        return verdict;
    }
    std::string publishSays(const std::string& file) const {
        Project project;
        project.tree.insert(project.tree.root(), -1, {"Eintrag", file});
        PublishReport report = PublishSite(project, (site_ / "menu.js").string());
        // Pages with markers that no entry names are reported too; the entry's page is the one
        // in a menu.
        std::erase_if(report.pages, [](const PageReport& page) { return !page.inMenu; });
        if (report.pages.size() != 1) return "no report line";
        const PageReport& page = report.pages[0];
        if (page.reason == PageReason::NotFound) return "missing";
        if (page.reason == PageReason::Outside) return "outside";
        return page.status == PageStatus::Written ? "found " + page.page : "not written: " + page.page;
    }
    std::string previewSays(const std::string& file) const {
        PreviewSchemeHandler server;
        server.setSite(folder(), folder() + QStringLiteral("/menu.js"));
        bool found = false;
        bool outside = false;
        const QString path = LivePreview::entryPagePath(folder(), file, &found, &outside);
        const PreviewSchemeHandler::SiteAnswer answer = server.answerFor(path);
        switch (answer.kind) {
        case PreviewSchemeHandler::SiteAnswer::File: {
            if (!found) return "served, though the preview found nothing";
            const std::string page = QFile::encodeName(path.mid(folder().size() + 1)).toStdString();
            // What is served is the page itself, wherever a link inside the folder leads.
            if (fs::path(QFile::encodeName(answer.path).toStdString()) != fs::canonical(site_ / page))
                return "served another file";
            return "found " + page;
        }
        case PreviewSchemeHandler::SiteAnswer::Redirect:
            return "redirected";
        case PreviewSchemeHandler::SiteAnswer::Missing:
            return found || outside ? "preview and server differ" : "missing";
        case PreviewSchemeHandler::SiteAnswer::Outside:
            return found || !outside ? "preview and server differ" : "outside";
        }
        return "";
    }

    QTemporaryDir temp_;
    fs::path site_;
};

TEST_F(PageAgreement, CheckPublishImportAndPreviewNameTheSamePage) {
    struct Case {
        const char* file;
        const char* page;         // what every part says
        const char* importFolder; // the folder whose imported entry must name that page; "" for none
    };
    const Case cases[] = {
        {"shop/", "found shop/index.php", "shop"},
        {"blog/", "found blog/index.html", "blog"},
        {"news", "found news/index.htm", "news"},
        {"./", "found index.htm", ""},
        {"fehlt.htm", "missing", ""},
        {"leer/", "missing", ""},
        {"link_out.htm", "outside", ""},
        {"outdir/target.htm", "outside", ""},
        {"../outside/target.htm", "outside", ""},
        {"%2e%2e/outside/target.htm", "outside", ""},
    };
    SiteTree imported;
    const auto summary = ImportSite(site_, site_, imported);
    ASSERT_TRUE(summary);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string page = c.page;
        EXPECT_EQ(checkSays(c.file), page.substr(0, page.find(' ')));
        EXPECT_EQ(publishSays(c.file), c.page);
        EXPECT_EQ(previewSays(c.file), c.page);
        if (!*c.importFolder) continue;
        // The folder's entry is its index page, which is not listed again below it.
        const std::string prefix = std::string(c.importFolder) + "/";
        const SiteNode* entry = nullptr;
        for (int i = 0; i < imported.root()->childCount(); ++i)
            if (imported.root()->child(i)->entry.file.str().starts_with(prefix))
                entry = imported.root()->child(i);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ("found " + entry->entry.file.str(), c.page);
        EXPECT_EQ(entry->childCount(), 0);
    }
    // The import reads nothing outside: both links out are named, neither became an entry.
    EXPECT_EQ(summary->outside, (std::vector<std::string>{"link_out.htm", "outdir/"}));
}

TEST_F(PageAgreement, PageServerServesNothingOutsideAndSendsFoldersToTheirIndexPage) {
    PreviewSchemeHandler server;
    server.setSite(folder(), folder() + QStringLiteral("/menu.js"));
    using Answer = PreviewSchemeHandler::SiteAnswer;
    const QString outside =
        QFile::decodeName(site_.parent_path().c_str()) + QStringLiteral("/outside/target.htm");
    EXPECT_EQ(server.answerFor(outside).kind, Answer::Outside);
    EXPECT_EQ(server.answerFor(folder() + QStringLiteral("2/x.htm")).kind, Answer::Outside);
    EXPECT_EQ(server.answerFor(folder() + QStringLiteral("/link_out.htm")).kind, Answer::Outside);
    EXPECT_EQ(server.answerFor(folder() + QStringLiteral("/outdir/target.htm")).kind, Answer::Outside);
    EXPECT_EQ(server.answerFor(folder() + QStringLiteral("/../outside/target.htm")).kind, Answer::Outside);
    EXPECT_EQ(server.answerFor(QStringLiteral("/etc/passwd")).kind, Answer::Outside);
    // A rooted entry ("/etc/passwd") is shown below the folder, where nothing of that name is.
    EXPECT_EQ(server.answerFor(LivePreview::entryPagePath(folder(), "/etc/passwd")).kind, Answer::Missing);
    const Answer shop = server.answerFor(folder() + QStringLiteral("/shop"));
    EXPECT_EQ(shop.kind, Answer::Redirect);
    EXPECT_EQ(shop.path, folder() + QStringLiteral("/shop/index.php"));
    const Answer page = server.answerFor(folder() + QStringLiteral("/shop/"));
    EXPECT_EQ(page.kind, Answer::File);
    EXPECT_EQ(page.path, folder() + QStringLiteral("/shop/index.php"));
    EXPECT_EQ(server.answerFor(folder() + QStringLiteral("/")).kind, Answer::File);
}

} // namespace
