// The real TARSEL.DLL, loaded and called the way the host does it.

#include "LoaderSim.h"
#include "LoaderSimDriver.h"
#include "Pty.h"
#include "Pump.h"
#include "common/AddonContract.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace std::chrono_literals;

namespace {

std::string Output(const std::string &command)
{
    std::string out;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, pipe))
            out += buf;
        pclose(pipe);
    }
    return out;
}

// Threads of this process whose names the serial library gives.
int SerialThreads()
{
    int count = 0;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        count += name.rfind("ser-", 0) == 0;
    }
    return count;
}

QWidget *ModalWindow(const char *className)
{
    QWidget *w = QApplication::activeModalWidget();
    return w && QString(w->metaObject()->className()) == className ? w : nullptr;
}

class Module {
public:
    explicit Module(const char *path = TARSEL_MODULE) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~Module()
    {
        if (handle_)
            dlclose(handle_);
    }
    bool loaded() const { return handle_ != nullptr; }
    CvAddonExecute execute() const { return reinterpret_cast<CvAddonExecute>(dlsym(handle_, CV_ADDON_ENTRY_NAME)); }
    void *symbol(const char *name) const { return dlsym(handle_, name); }

private:
    void *handle_;
};

} // namespace

TEST(TarselModule, LoadsWithAllSymbolsBoundAndExportsOnlyExecute)
{
    Module module;
    ASSERT_TRUE(module.loaded()) << dlerror();
    EXPECT_NE(module.execute(), nullptr);
    const std::string symbols = Output(std::string("nm -D --defined-only ") + TARSEL_MODULE);
    std::vector<std::string> names;
    std::istringstream lines(symbols);
    for (std::string line; std::getline(lines, line);)
        names.push_back(line.substr(line.rfind(' ') + 1));
    EXPECT_EQ(names, std::vector<std::string> {"Execute"}) << symbols;
}

TEST(TarselModule, ExecuteRunsTheWindowOnTheCallersPortAndLeavesNoThreadBehind)
{
    testsupport::Pty pty;
    testsupport::LoaderSim sim;
    sim.setVersionCommand("???", "LOADER 2.1");   // TARSEL.INI is absent: every key has its default
    testsupport::LoaderSimDriver driver(sim, pty.masterFd());
    setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
    setenv("SERIAL_COM5", pty.devicePath().c_str(), 1);
    ASSERT_FALSE(std::filesystem::exists(QCoreApplication::applicationDirPath().toStdString() + "/TARSEL.INI"));

    QWidget host;
    host.show();
    std::string seen;
    int threadsWhileOpen = 0;
    auto *timer = new QTimer(&host);
    QObject::connect(timer, &QTimer::timeout, [&] {
        QWidget *window = ModalWindow("TTRSForm");
        if (!window)
            return;
        timer->stop();
        seen = window->findChild<QLabel *>("PortLabel")->text().toStdString() + "|" +
               window->findChild<QLabel *>("DevLabel")->text().toStdString() + "|" +
               (window->parentWidget() == &host ? "owned" : "not owned");
        window->findChild<QPushButton *>("ConnBtn")->click();
        seen += "|" + window->findChild<QLabel *>("Display")->text().toStdString();
        threadsWhileOpen = SerialThreads();
        window->findChild<QPushButton *>("ExitBtn")->click();
    });
    for (int call = 0; call < 2; ++call) {   // loaded, called and unloaded twice, as the host does
        seen.clear();
        sim.setStartInLoader(false);   // the reader runs its resident program again
        timer->start(5);
        Module module;
        ASSERT_TRUE(module.loaded()) << dlerror();
        module.execute()(uintptr_t(host.winId()), "Reader,COM5,9600,N,8,1");
        EXPECT_EQ(seen, "COM5|Reader|owned| CONNECTED - LOADER 2.1") << call;
        EXPECT_EQ(threadsWhileOpen, 3) << call;
        EXPECT_EQ(SerialThreads(), 0) << call;
    }
    unsetenv("SERIAL_COM5");
}

TEST(TarselModule, AReportPostedDuringExecuteIsShownBeforeItReturnsAndNothingOfItOutlivesTheModule)
{
    testsupport::Pty pty;
    testsupport::LoaderSim sim;
    testsupport::LoaderSimDriver driver(sim, pty.masterFd());
    setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
    setenv("SERIAL_COM5", pty.devicePath().c_str(), 1);
    QWidget host;
    host.show();
    std::string reported;
    {
        Module module(REPORTING_MODULE);
        ASSERT_TRUE(module.loaded()) << dlerror();
        const auto post = reinterpret_cast<void (*)(const char *)>(module.symbol("PostReportFromThread"));
        ASSERT_NE(post, nullptr);
        bool posted = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                reported = box->text().toStdString();
                box->accept();
            } else if (QWidget *window = ModalWindow("TTRSForm"); window && !posted) {
                posted = true;
                post("Port thread failed");   // queued for the GUI thread as the window closes
                window->findChild<QPushButton *>("ExitBtn")->click();
            }
        });
        timer.start(5);
        module.execute()(uintptr_t(host.winId()), "Reader,COM5,9600,N,8,1");
        EXPECT_TRUE(posted);
    }
    EXPECT_EQ(reported, "Port thread failed");
    // The host goes on without the module: nothing of it is left to receive an event, and the host quits cleanly.
    PumpFor(100ms);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    EXPECT_EQ(qApp->exec(), 0);
    unsetenv("SERIAL_COM5");
}
