// The daubry program. For now it builds the application object, opens the
// settings store and ends; the windows come with the application shell.
#include <string>

#include "app/application.h"

namespace {

class mtxDaubryStartup : public mtxApplication {
public:
    using mtxApplication::mtxApplication;
    int Init() override { return 1; }
};

// The command line as one text: the arguments joined by spaces, the way the
// system passes it to a program's entry point.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    std::string commandLine = CommandLine(argc, argv);
    mtxDaubryStartup app(nullptr, nullptr, commandLine.c_str(), 0);
    app.settings.Open("Software\\Ferrow\\Daubry");
    return app.Init() ? 0 : 1;
}
