// The daubry program: splash, application object, main window, message loop;
// or, as `daubry fill`, the whole filling of a photo without a window.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/daubry_app.h"
#include "app/shell/fill_command.h"
#include "app/shell/splash_task.h"
#include "platform/window.h"

namespace {

// The command line as one text: the arguments joined by spaces, the way the
// system passes it to a program's entry point.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "fill") == 0)
        return mtxRunFillCommand(std::vector<std::string>(argv + 2, argv + argc));
    std::string commandLine = CommandLine(argc, argv);
    auto splash = std::make_unique<mtxSplashTask>();
    int exitCode = 0;
    {
        mtxDaubryApp app(nullptr, nullptr, commandLine.c_str(), mtxOs::SW_SHOWNORMAL);
        int ok = app.Init();
        splash.reset();  // closes the splash whatever Init said
        if (!ok) mtxOs::PostQuitMessage(0);
        mtxOs::MSG msg;
        while (mtxOs::GetMessage(msg)) {
            mtxOs::TranslateMessage(msg);
            mtxOs::DispatchMessage(msg);
        }
        exitCode = static_cast<int>(msg.wParam);
    }  // the main window first, then the application's members and the settings
    return exitCode;
}
