// The console program: the application object builds the main dialog, runs
// the start-up sequence before the dialog is shown and then runs the dialog
// modally; when the dialog ends, the program ends.

#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/TarvexDlg.h"
#include "platform/qt/Bitmaps.h"
#include "platform/qt/EndSignals.h"
#include "platform/qt/QtTarvexDialog.h"
#include "platform/qt/WindowPlacement.h"

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds: the desktop libraries below keep a few allocations until
// the process ends; they are not the console's leaks and must not change its
// exit code.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n"
           "leak:libfontconfig.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libX11.so\n"
           "leak:libxcb\n"
           "leak:libQt6DBus.so\n";
}
#endif

namespace {

const char* const kHelp =
    "Usage:\n"
    "  tarvex [TOOLKIT-OPTION...]\n"
    "      starts the console in the current folder, the station's working folder.\n"
    "  tarvex-station [FOLDER]\n"
    "      starts the console in FOLDER; without it in the folder named by TARVEX_SITE, else in\n"
    "      the user's copy of the demonstration station, made on first use. The desktop entry\n"
    "      runs tarvex-station.\n"
    "\n"
    "Options:\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "  TOOLKIT-OPTION  every other argument goes to the Qt toolkit, e.g. -platform offscreen\n"
    "\n"
    "Exit status: 0 when the operator leaves the console, --help and --version; 1 when it ends at\n"
    "start-up or on a fatal error.\n";

// --help and --version are answered before the toolkit is started, so they
// need no display; true when one of them was given.
bool answeredConvention(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tarvex " TARVEX_VERSION);
            return true;
        }
    }
    return false;
}

class CTarvexApp : public QApplication {
public:
    CTarvexApp(int& argc, char** argv) : QApplication(argc, argv)
    {
        setApplicationName(QStringLiteral("Tarvex"));
        setApplicationVersion(QStringLiteral(TARVEX_VERSION));
        setDesktopFileName(QStringLiteral("tarvex"));
        setWindowIcon(applicationIcon());
        // The console never ends because a window closed; only the end of
        // the main dialog's modal run ends it.
        setQuitOnLastWindowClosed(false);
    }

    int runMainDialog()
    {
        QtTarvexDialog dialog;
        CTarvexDlg logic(dialog);
        dialog.setEvents(&logic);
        keepWindowPlaced(&dialog, "main", dialog.sizeHint());

        // Start-up: its message boxes appear before the main window does.
        if (!logic.onInitDialog())
            return 1;
        if (!dialog.isClosed())
            dialog.exec();
        dialog.setEvents(nullptr);
        return 0;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (answeredConvention(argc, argv))
        return 0;
    // SIGTERM, SIGHUP and Ctrl+C end the console as a failure exit does; the
    // dialog delivers them to the logic from its event loop.
    catchEndSignals();
    CTarvexApp app(argc, argv);
    return app.runMainDialog();
}
