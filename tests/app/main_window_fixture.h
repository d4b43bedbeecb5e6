#pragma once
// A main window driven offscreen with the service doubles and its parameter file in a
// temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "settings/settings_objects.h"
#include "ui/test_doubles.h"

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        marvek::ui::EnsureTestApplication();
        dir = std::filesystem::temp_directory_path() /
              ("marvek-main-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        StoreSettings(marvek::Settings{});
        parameterFile = dir / "marvek.par";
    }
    void TearDown() override {
        dlg.reset();
        StoreSettings(marvek::Settings{});
        std::filesystem::remove_all(dir);
    }
    CIndentMainDlg& Open() {
        dlg = std::make_unique<CIndentMainDlg>(nullptr, parameterFile);
        dlg->Create();
        return *dlg;
    }
    // Copies example curves into the temporary folder under the given names.
    std::vector<std::filesystem::path> Curves(const std::vector<std::string>& examples) {
        std::vector<std::filesystem::path> out;
        int k = 0;
        for (const std::string& e : examples) {
            const auto target = dir / (std::to_string(k++) + "_" + e);
            std::filesystem::copy_file(std::filesystem::path(MARVEK_EXAMPLES) / e, target);
            out.push_back(target);
        }
        return out;
    }

    std::filesystem::path dir;
    std::filesystem::path parameterFile;
    marvek::ui::FakeServices services;
    marvek::ui::ScopedServices scope{services};
    std::unique_ptr<CIndentMainDlg> dlg;
};
