// The console program: the application object builds the main dialog, runs
// the start-up sequence before the dialog is shown and then runs the dialog
// modally; when the dialog ends, the program ends.

#include <QApplication>

#include "app/TarvexDlg.h"
#include "platform/qt/Bitmaps.h"
#include "platform/qt/QtTarvexDialog.h"

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

class CTarvexApp : public QApplication {
public:
    CTarvexApp(int& argc, char** argv) : QApplication(argc, argv)
    {
        setApplicationName(QStringLiteral("Tarvex"));
        setApplicationVersion(QStringLiteral("2024"));
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
    CTarvexApp app(argc, argv);
    return app.runMainDialog();
}
