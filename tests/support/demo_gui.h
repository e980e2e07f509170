#pragma once
// GUI checks on the demo folder: a fresh demo working folder under OUTPUT_FOLDER/work, entered,
// with the demo client's connection, the window settings file there and every right granted.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/common/common_window.h"
#include "core/dictionary/globals.h"
#include "demo/demo_folder.h"

namespace voq::test {

// The output folder (absolute) on success, empty after saying what went wrong.
inline std::string enterDemoFolder(const char* outputFolder, int salesLines) {
    const std::string folder = std::filesystem::absolute(outputFolder).string();
    const std::string work = folder + "/work";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    if (std::string error = demo::prepareDemoFolder(work, {.salesLines = salesLines}); !error.empty()) {
        std::fprintf(stderr, "demo folder: %s\n", error.c_str());
        return {};
    }
    std::filesystem::current_path(work);
    GLO.ConnectString = demo::demoConnectString();
    GLO.Database = demo::kDemoDatabase;
    SetWindowSettingsFile(work + "/VOQKIVORANT.INI");
    SetRightsCheck({[](std::string_view, std::string_view) { return 1; }, [](std::string_view) {}});
    return folder;
}

}  // namespace voq::test
