#include "app/indent_app.h"

#include <QApplication>
#include <QPixmap>
#include <memory>

#include "app/main_window.h"
#include "help/about_dialog.h"
#include "help/help_dialog.h"
#include "ui/services.h"

std::optional<LaunchOptions> ParseLaunchOptions(const std::vector<std::string>& args,
                                                std::string& error) {
    LaunchOptions options;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!onlyFiles && a == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && a == "--screenshot") {
            if (i + 1 >= args.size()) {
                error = "--screenshot needs the name of the PNG file to write";
                return std::nullopt;
            }
            options.screenshot = args[++i];
        } else if (!onlyFiles && a == "--window") {
            if (i + 1 >= args.size() ||
                (args[i + 1] != "main" && args[i + 1] != "help" && args[i + 1] != "about")) {
                error = "--window takes main, help or about";
                return std::nullopt;
            }
            options.window = args[++i];
        } else if (!onlyFiles && a == "--version") {
            options.version = true;
        } else if (!onlyFiles && (a == "--help" || a == "-h")) {
            options.help = true;
        } else if (!onlyFiles && a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            // Shown and re-read later, so keep it independent of the working folder.
            std::error_code ec;
            std::filesystem::path p = std::filesystem::absolute(a, ec);
            options.files.push_back(ec ? std::filesystem::path(a) : p);
        }
    }
    return options;
}

int CIndentApp::InitInstance(const LaunchOptions& options) {
    CIndentMainDlg dlg;
    dlg.Create();
    if (!options.files.empty()) dlg.SelectFiles(options.files);
    if (options.screenshot) {
        std::unique_ptr<marvek::ui::Dialog> other;
        if (options.window == "help") other = std::make_unique<CHelpDlg>();
        if (options.window == "about") other = std::make_unique<CAboutDlg>();
        marvek::ui::Dialog& shown = other ? *other : dlg;
        shown.Create();
        shown.show();
        QApplication::processEvents();
        const QPixmap picture = shown.grab();
        if (!picture.save(marvek::ui::QStringFromPath(*options.screenshot), "PNG")) return 1;
        return 0;
    }
    dlg.DoModal();
    return 0;
}
