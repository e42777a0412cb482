// Every test program runs as it does under ctest, also when started by hand:
// the German locale the program's texts and numbers are checked in, no
// display needed, and a home of its own, so that no test reads or writes the
// user's settings, journal or data. Runs before main, before Qt looks at
// any of it.

#include <QtGlobal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

std::string& TestHome()
{
    static std::string home;
    return home;
}

void RemoveTestHome()
{
    // Only the process that made it: a test's child process inherits the
    // environment, not this.
    std::error_code ignored;
    if (!TestHome().empty())
        std::filesystem::remove_all(TestHome(), ignored);
}

void PrepareTestEnvironment()
{
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string dir = (std::filesystem::temp_directory_path() / "korva-test-XXXXXX").string();
    if (!mkdtemp(dir.data()))
        return; // the inherited home stays; ctest gives each test its own
    TestHome() = dir;
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir + "/.cache").c_str(), 1);
    std::atexit(RemoveTestHome);
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(PrepareTestEnvironment)
