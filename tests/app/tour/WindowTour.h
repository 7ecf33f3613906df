#pragma once
// Every window of the program and of the download library, opened one after another in its real layout and with
// content: the main window connected to the reader simulator on a pty, the configuration read from it into
// the example reader's template of twelve pages (examples/), the dialogs over their real owners.

#include "Pty.h"
#include "ReaderSim.h"
#include "ReaderSimGuiDriver.h"
#include "ScriptedUi.h"
#include "TempDir.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class TMainForm;

namespace testsupport {

class WindowTour {
public:
    WindowTour();
    ~WindowTour();
    WindowTour(const WindowTour &) = delete;
    WindowTour &operator=(const WindowTour &) = delete;

    // Whether the main window connected and read the configuration.
    bool connected() const;
    // Shows each window in turn and hands it to `visit` under a name made for a file name; the window goes again
    // after the visit. Nothing is shown unless the main window connected.
    void visit(const std::function<void(const std::string &name, QWidget &window)> &visit);

    ScriptedUi ui;

private:
    TempDir dir;
    Pty pty;
    ReaderSim sim;
    std::unique_ptr<ReaderSimGuiDriver> driver;
    TMainForm *main = nullptr;
};

} // namespace testsupport
