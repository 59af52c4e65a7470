// Runs the built program as a person would and ends it with signals.

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The program, started in its own folder; killed if a test leaves it running.
class TGameProcess
{
public:
    TGameProcess()
    {
        const pid_t testPid = ::getpid();
        FPid = ::fork();
        if (FPid == 0)
        {
            // Goes with the test even when the test itself is killed.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() == testPid && ::chdir(STICKFIGHT_GAME_DIR) == 0)
            {
                ::setenv("SDL_AUDIODRIVER", "dummy", 1);
                ::execl(STICKFIGHT_GAME_DIR "/stickfight", "stickfight", static_cast<char*>(nullptr));
            }
            std::_Exit(127);
        }
    }

    ~TGameProcess()
    {
        if (FPid > 0 && !FStatus)
        {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }

    TGameProcess(const TGameProcess&) = delete;
    TGameProcess& operator=(const TGameProcess&) = delete;

    pid_t Pid() const { return FPid; }

    // The wait status once the program has ended within `limit`.
    std::optional<int> WaitForEnd(const Clock::duration limit)
    {
        const Clock::time_point deadline = Clock::now() + limit;
        while (!FStatus && Clock::now() < deadline)
        {
            int status = 0;
            if (::waitpid(FPid, &status, WNOHANG) == FPid)
                FStatus = status;
            else
                std::this_thread::sleep_for(10ms);
        }
        return FStatus;
    }

private:
    pid_t FPid = -1;
    std::optional<int> FStatus;
};

// True when a top-level window of the process is mapped and viewable.
bool HasViewableWindow(xcb_connection_t* connection, const pid_t pid)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> pidAtom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, 11, "_NET_WM_PID"), nullptr), std::free);
    const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr), std::free);
    if (!pidAtom || !tree)
        return false;
    const xcb_window_t* const children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
    {
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> owner(
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, children[i], pidAtom->atom, XCB_ATOM_CARDINAL, 0, 1),
                                   nullptr),
            std::free);
        if (!owner || xcb_get_property_value_length(owner.get()) != 4 ||
            *static_cast<const std::uint32_t*>(xcb_get_property_value(owner.get())) != static_cast<std::uint32_t>(pid))
            continue;
        const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, children[i]), nullptr),
            std::free);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            return true;
    }
    return false;
}

bool WaitForWindow(const pid_t pid, const Clock::duration limit)
{
    xcb_connection_t* const connection = xcb_connect(nullptr, nullptr);
    const Clock::time_point deadline = Clock::now() + limit;
    bool found = false;
    while (!xcb_connection_has_error(connection) && !found && Clock::now() < deadline)
    {
        found = HasViewableWindow(connection, pid);
        if (!found)
            std::this_thread::sleep_for(50ms);
    }
    xcb_disconnect(connection);
    return found;
}
} // namespace

TEST(Program, EndsWithStatusZeroOnSigtermAndSigintFromTheMenu)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X server";
    for (const int signalNumber : {SIGTERM, SIGINT})
    {
        SCOPED_TRACE(signalNumber == SIGTERM ? "SIGTERM" : "SIGINT");
        TGameProcess game;
        ASSERT_GT(game.Pid(), 0);
        // Generous: the start-up builds the menu's scene and its rendering context.
        ASSERT_TRUE(WaitForWindow(game.Pid(), 30s)) << "the menu window did not come up";
        ASSERT_EQ(::kill(game.Pid(), signalNumber), 0);
        const std::optional<int> status = game.WaitForEnd(5s);
        ASSERT_TRUE(status.has_value()) << "the program kept running";
        ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
        EXPECT_EQ(WEXITSTATUS(*status), 0);
    }
}
