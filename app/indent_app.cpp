#include "app/indent_app.h"

#include <QApplication>
#include <QPixmap>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/main_window.h"
#include "app/resource_ids.h"
#include "core/series/graph_series.h"
#include "graphs/map_view.h"
#include "graphs/overlay_view.h"
#include "graphs/profile_view.h"
#include "help/about_dialog.h"
#include "help/help_dialog.h"
#include "table/results_table_window.h"
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
            const std::string w = i + 1 < args.size() ? args[i + 1] : std::string();
            // graph:NAME is any graph by its marvek-cli graph name.
            const bool namedGraph =
                w.rfind("graph:", 0) == 0 && marvek::FindGraphCommand(w.substr(6)) != nullptr;
            if (w != "main" && w != "main-fit" && w != "main-popins" && w != "help" &&
                w != "about" && w != "explore" && w != "graph" && w != "overlay" &&
                w != "overlay-normalised" && w != "profile" && w != "map" && w != "file-info" &&
                w != "columns" && !namedGraph) {
                error =
                    "--window takes main, main-fit, main-popins, help, about, explore, overlay, "
                    "overlay-normalised, profile, map, file-info, columns, graph or graph:NAME (a "
                    "marvek-cli graph name)";
                return std::nullopt;
            }
            options.window = args[++i];
        } else if (!onlyFiles && a == "--size") {
            int w = 0, h = 0;
            char x = 0;
            std::istringstream in(i + 1 < args.size() ? args[i + 1] : std::string());
            if (!(in >> w >> x >> h) || x != 'x' || w < 200 || h < 200 || w > 8000 || h > 8000) {
                error = "--size takes WIDTHxHEIGHT in pixels, e.g. 1366x768";
                return std::nullopt;
            }
            options.width = w;
            options.height = h;
            ++i;
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

namespace {

// A screenshot runs with no one to answer: every message goes to stderr (and counts as a
// failure), every dialog is cancelled.
class UnattendedServices : public marvek::ui::Services {
public:
    std::vector<std::string> messages;
    int MessageBox(const marvek::ui::MessageRequest& request) override {
        messages.push_back(request.text);
        return marvek::ui::IDOK;
    }
    std::optional<std::vector<std::filesystem::path>> OpenFiles(
        const marvek::ui::OpenFilesRequest&) override {
        return std::nullopt;
    }
    std::optional<std::filesystem::path> SaveFile(const marvek::ui::SaveFileRequest&) override {
        return std::nullopt;
    }
    // A window a command runs modally is drawn here when asked for (the graph of --window
    // graph), then cancelled.
    std::optional<QPixmap> capturedWindow;
    bool captureNextWindow = false;
    std::function<void(marvek::ui::Dialog&)> beforeCapture;
    int RunModal(marvek::ui::Dialog& dialog) override {
        if (captureNextWindow) {
            captureNextWindow = false;
            dialog.Create();
            dialog.show();
            if (beforeCapture) beforeCapture(dialog);
            QApplication::processEvents();
            capturedWindow = dialog.grab();
        }
        return marvek::ui::IDCANCEL;
    }
};

}  // namespace

int CIndentApp::InitInstance(const LaunchOptions& options) {
    if (options.screenshot) return Screenshot(options);
    CIndentMainDlg dlg;
    dlg.Create();
    if (!options.files.empty()) dlg.SelectFiles(options.files);
    dlg.DoModal();
    return 0;
}

int CIndentApp::Screenshot(const LaunchOptions& options) {
    UnattendedServices services;
    const marvek::ui::ScopedServices scope(services);
    CIndentMainDlg dlg;
    dlg.Create();
    if (!options.files.empty()) dlg.SelectFiles(options.files);
    dlg.WaitForResultSet();
    // The analysis names the file and the reason; a message of its own is shown as it stands.
    if (!dlg.m_lastOutcome.ok())
        std::cerr << "marvek: " << dlg.m_lastOutcome.message() << "\n";
    else
        for (const std::string& m : services.messages) std::cerr << "marvek: " << m << "\n";
    const std::size_t said = services.messages.size();
    {
        std::unique_ptr<marvek::ui::Dialog> other;
        if (options.window == "help") other = std::make_unique<CHelpDlg>();
        if (options.window == "about") other = std::make_unique<CAboutDlg>();
        marvek::ui::Dialog& shown = other ? *other : dlg;
        shown.Create();
        if (options.width > 0) shown.resize(options.width, options.height);
        shown.show();
        if (options.window == "main-popins") dlg.SendCommand(resource::ID_PLOT_ZOOM_POPINS);
        if (options.window == "main-fit") {
            // The unloading fit up close, in the window itself.
            dlg.m_plot->SetGrid(true);
            dlg.m_plot->ZoomTo("fit");
        }
        QApplication::processEvents();
        QPixmap picture = shown.grab();
        if (options.window.rfind("graph", 0) == 0) {
            services.captureNextWindow = true;
            const marvek::GraphCommandInfo* named =
                options.window.size() > 6 ? marvek::FindGraphCommand(options.window.substr(6))
                                          : nullptr;
            if (named)
                dlg.SendCommand(named->commandId);
            else
                dlg.OnModulusDepth();
            if (services.capturedWindow) picture = *services.capturedWindow;
        } else if (options.window.rfind("overlay", 0) == 0) {
            services.captureNextWindow = true;
            if (options.window == "overlay-normalised")
                services.beforeCapture = [](marvek::ui::Dialog& d) {
                    if (auto* overlay = dynamic_cast<COverlayDlg*>(&d))
                        overlay->SetNormalised(true);
                };
            dlg.OnOverlay();
            if (services.capturedWindow) picture = *services.capturedWindow;
        } else if (options.window == "file-info" || options.window == "columns") {
            // File > File Information of the first curve, or the Columns and Units window.
            services.captureNextWindow = true;
            dlg.SendCommand(options.window == "columns" ? resource::ID_COLUMNS_UNITS
                                                        : resource::ID_FILE_INFORMATION);
            if (services.capturedWindow) picture = *services.capturedWindow;
        } else if (options.window == "profile") {
            // The depth profiles of the first file's workbook beside the main window.
            dlg.OnProfileView();
            if (auto* view = dlg.findChild<marvek::graphs::ProfileView*>()) {
                if (options.width > 0) view->resize(options.width, options.height);
                view->show();
                QApplication::processEvents();
                picture = view->grab();
            }
        } else if (options.window == "map") {
            // The property map once the results table has analysed every curve.
            dlg.SendCommand(resource::ID_PROPERTY_MAP);
            auto* table = dlg.findChild<marvek::table::ResultsTableWindow*>();
            while (table && table->Running())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (auto* map = dlg.findChild<marvek::graphs::MapView*>()) {
                map->Flush();
                if (options.width > 0) map->resize(options.width, options.height);
                QApplication::processEvents();
                picture = map->grab();
            }
        } else if (options.window == "explore") {
            // The unloading fit up close: what the explorer is for.
            dlg.OnExplorePlot();
            if (auto* explorer = dlg.findChild<marvek::ui::PlotExplorer*>()) {
                explorer->SetGrid(true);
                explorer->ZoomTo("fit");
                QApplication::processEvents();
                picture = explorer->grab();
            }
        }
        // What the shown window's command said (a graph's note) is reported too.
        for (std::size_t i = said; i < services.messages.size(); ++i)
            std::cerr << "marvek: " << services.messages[i] << "\n";
        if (!picture.save(marvek::ui::QStringFromPath(*options.screenshot), "PNG")) {
            std::cerr << "marvek: could not write " << options.screenshot->string() << "\n";
            return 1;
        }
    }
    // The picture shows what went wrong too; the status tells a script it did.
    return services.messages.empty() && dlg.m_lastOutcome.ok() ? 0 : 1;
}
