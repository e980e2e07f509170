// Prepares the demo working folder: voq-demo-setup FOLDER [--lines N]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/demo_folder.h"

namespace {

const char* const kUsage = "usage: voq-demo-setup FOLDER [--lines N]\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string folder = argv[1];
    // An option where the folder belongs is never taken for a folder name.
    if (folder == "--help" || folder == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (folder.starts_with("-")) {
        std::fprintf(stderr, "voq-demo-setup: unknown argument %s\n%s", folder.c_str(), kUsage);
        return 2;
    }
    demo::DemoOptions options;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--lines" && i + 1 < argc) {
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n <= 0) {
                std::fprintf(stderr, "voq-demo-setup: --lines needs a positive number\n");
                return 2;
            }
            options.salesLines = n;
        } else {
            std::fprintf(stderr, "voq-demo-setup: unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    std::string err = demo::prepareDemoFolder(folder, options);
    if (!err.empty()) {
        std::fprintf(stderr, "voq-demo-setup: %s\n", err.c_str());
        return 1;
    }
    std::fprintf(stderr, "voq-demo-setup: demo folder %s ready (client \"%s\", %ld sales lines)\n", folder.c_str(),
                 demo::kDemoClient, options.salesLines);
    return 0;
}
