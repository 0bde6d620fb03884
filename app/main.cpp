// The daubry program: splash, application object, main window, message loop;
// or, as `daubry fill`, the whole filling of a photo without a window; or,
// with --help or --version, a few lines on stdout and no window.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/daubry_app.h"
#include "app/shell/fill_command.h"
#include "app/shell/render_command.h"
#include "app/shell/splash_task.h"
#include "platform/os_file.h"
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

void PrintUsage() {
    std::printf(
        "Usage: daubry [PHOTO]\n"
        "       daubry fill PHOTO -o OUT [options]\n"
        "       daubry render PROJECT -o OUT [options]\n"
        "\n"
        "Without arguments, starts the program's window; with a PHOTO (the whole\n"
        "rest of the command line, as one path), opens that photo in it.\n"
        "\n"
        "  fill        fill a photo with samples without a window and save it\n"
        "              (see 'daubry fill --help')\n"
        "  render      draw a saved project's picture again from its stamps\n"
        "              (see 'daubry render --help')\n"
        "  -h, --help  this text\n"
        "  --version   the program's version\n"
        "\n"
        "Manual pages: daubry(1), daubry-fill(1).\n");
    std::string page = mtxInstalledHelpPage();
    if (!page.empty()) std::printf("Help page: %s\n", page.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // A save past the file-size limit is a failed write with a message, not
    // a silent end that leaves a temporary file behind.
    mtxOs::IgnoreFileSizeSignal();
    if (argc > 1 && std::strcmp(argv[1], "fill") == 0)
        return mtxRunFillCommand(std::vector<std::string>(argv + 2, argv + argc));
    if (argc > 1 && std::strcmp(argv[1], "render") == 0)
        return mtxRunRenderCommand(std::vector<std::string>(argv + 2, argv + argc));
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("daubry %s\n", DAUBRY_VERSION);
        return 0;
    }
    if (mtxOs::IsHeadless()) {  // the reason is on standard error already
        std::fprintf(stderr, "daubry: the window needs a display; 'daubry fill' works without\n");
        return 1;
    }
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
            if (app.mainWnd.TranslateAccelerator(msg)) continue;
            mtxOs::TranslateMessage(msg);
            mtxOs::DispatchMessage(msg);
        }
        exitCode = static_cast<int>(msg.wParam);
    }  // the main window first, then the application's members and the settings
    mtxOs::CloseDisplay();
    return exitCode;
}
