// The command line: read in the process, and through the built program for
// its outputs and exit statuses.

#include "app/ProgramOptions.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
TCommandLine Parse(std::initializer_list<const char*> options)
{
    QStringList arguments{QStringLiteral("stickfight")};
    for (const char* option : options)
        arguments << QString::fromUtf8(option);
    return ParseCommandLine(arguments);
}

struct TRun
{
    int ExitStatus = -1;
    std::string Out;
    std::string Err;
};

std::string ReadAll(const int fd)
{
    std::string text;
    std::array<char, 4096> buffer{};
    ssize_t count = 0;
    while ((count = ::read(fd, buffer.data(), buffer.size())) > 0)
        text.append(buffer.data(), static_cast<std::size_t>(count));
    return text;
}

// Runs the program without a display, or with `display` that does not
// answer: one that tried to open a window would end with Qt's abort instead
// of an exit status.
TRun RunProgram(const std::vector<std::string>& options, const char* display = nullptr)
{
    int out[2];
    int err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return {};
    const pid_t testPid = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(err[0]);
        ::unsetenv("DISPLAY");
        if (display != nullptr)
            ::setenv("DISPLAY", display, 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        std::vector<char*> argv{const_cast<char*>("stickfight")};
        for (const std::string& option : options)
            argv.push_back(const_cast<char*>(option.c_str()));
        argv.push_back(nullptr);
        if (::getppid() == testPid)
            ::execv(STICKFIGHT_GAME_BIN_DIR "/stickfight", argv.data());
        std::_Exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    // Small outputs: the pipes never fill, so reading one after the other is safe.
    TRun run;
    run.Out = ReadAll(out[0]);
    run.Err = ReadAll(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    return run;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
} // namespace

TEST(ProgramOptions, WithoutOptionsTheGameRunsAsItIs)
{
    const TCommandLine commandLine = Parse({});
    EXPECT_EQ(commandLine.Action, TCommandLineAction::Run);
    EXPECT_FALSE(commandLine.Options.Windowed);
    EXPECT_FALSE(commandLine.Options.Mute);
    EXPECT_EQ(commandLine.Options.Volume, 100);
    EXPECT_TRUE(commandLine.Options.ControlsFile.isEmpty());
}

TEST(ProgramOptions, EveryOptionIsReadWithItsValue)
{
    QTemporaryFile controls;
    ASSERT_TRUE(controls.open());
    const std::string controlsPath = controls.fileName().toStdString();

    const TCommandLine all = Parse({"--windowed", "--mute", "--volume", "37", "--controls", controlsPath.c_str()});
    ASSERT_EQ(all.Action, TCommandLineAction::Run) << all.Error.toStdString();
    EXPECT_TRUE(all.Options.Windowed);
    EXPECT_TRUE(all.Options.Mute);
    EXPECT_EQ(all.Options.Volume, 37);
    EXPECT_EQ(all.Options.ControlsFile, controls.fileName());

    for (const auto& [text, volume] : {std::pair{"--volume=0", 0}, {"--volume=100", 100}, {"-volume=5", 5}})
    {
        const TCommandLine commandLine = Parse({text});
        ASSERT_EQ(commandLine.Action, TCommandLineAction::Run) << text;
        EXPECT_EQ(commandLine.Options.Volume, volume) << text;
    }
    EXPECT_TRUE(Parse({"-windowed"}).Options.Windowed);
    EXPECT_EQ(Parse({"--help"}).Action, TCommandLineAction::ShowHelp);
    EXPECT_EQ(Parse({"-h"}).Action, TCommandLineAction::ShowHelp);
    EXPECT_EQ(Parse({"--version"}).Action, TCommandLineAction::ShowVersion);
}

TEST(ProgramOptions, BadValuesAndUnknownOptionsAreRefusedWithTheReason)
{
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases{
        {{"--volume", "101"}, "--volume needs a whole number from 0 to 100, not \"101\"."},
        {{"--volume", "-1"}, "--volume needs a whole number from 0 to 100, not \"-1\"."},
        {{"--volume=50%"}, "--volume needs a whole number from 0 to 100, not \"50%\"."},
        {{"--volume", "loud"}, "--volume needs a whole number from 0 to 100, not \"loud\"."},
        {{"--volume="}, "--volume needs a whole number from 0 to 100, not \"\"."},
        {{"--volume"}, "Missing value after '--volume'."},
        {{"--controls", "/no/such/controls"}, "The controls file \"/no/such/controls\" does not exist."},
        {{"--fullscreen"}, "Unknown option 'fullscreen'."},
        {{"--zoom", "2"}, "Unknown option 'zoom'."},
        {{"-platform", "offscreen"}, "Unknown option 'platform'."},
        {{"level2"}, "Unexpected argument \"level2\"."},
    };
    for (const auto& [options, error] : cases)
    {
        SCOPED_TRACE(error);
        QStringList arguments{QStringLiteral("stickfight")};
        for (const char* option : options)
            arguments << QString::fromLatin1(option);
        const TCommandLine commandLine = ParseCommandLine(arguments);
        EXPECT_EQ(commandLine.Action, TCommandLineAction::Refuse);
        EXPECT_EQ(commandLine.Error.toStdString(), error);
    }
}

TEST(ProgramOptions, ProgramPrintsHelpAndVersionOnItsOutputAndEndsWithZero)
{
    for (const char* option : {"--help", "-h"})
    {
        SCOPED_TRACE(option);
        const TRun help = RunProgram({option});
        EXPECT_EQ(help.ExitStatus, 0) << help.Err;
        EXPECT_EQ(help.Err, "");
        EXPECT_TRUE(help.Out.starts_with("Usage: stickfight [options]\n")) << help.Out;
        for (const char* line : {"  --windowed ", "  --mute ", "  --volume N ", "  --controls FILE ",
                                 "  -h, --help ", "  --version "})
            EXPECT_TRUE(Contains(help.Out, line)) << line;
        // Both players' keys and the shared ones, as the fight acts on them.
        for (const char* line : {"\n  a / l  walk forward\n", "\n  d / j  walk back\n", "\n  s / k  crouch",
                                 "\n  w / i  jump\n", "\n  e / o  hit", "\n  space ", "\n  + / - ", "\n  p ",
                                 "\n  F11 ", "\n  left mouse button "})
            EXPECT_TRUE(Contains(help.Out, line)) << line;
    }

    const TRun version = RunProgram({"--version"});
    EXPECT_EQ(version.ExitStatus, 0) << version.Err;
    EXPECT_EQ(version.Out, "stickfight 1.0.0\n");
    EXPECT_EQ(version.Err, "");
}

TEST(ProgramOptions, ProgramRefusesABadCommandLineWithStatusTwoAndNoWindow)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--volume", "250"}, "stickfight: --volume needs a whole number from 0 to 100, not \"250\".\n\n"},
        {{"--windowed", "--bogus"}, "stickfight: Unknown option 'bogus'.\n\n"},
        {{"--controls", "/no/such/controls"}, "stickfight: The controls file \"/no/such/controls\" does not exist.\n\n"},
    };
    for (const auto& [options, message] : cases)
    {
        SCOPED_TRACE(message);
        const TRun run = RunProgram(options);
        EXPECT_EQ(run.ExitStatus, 2) << run.Err;
        EXPECT_EQ(run.Out, "");
        EXPECT_TRUE(run.Err.starts_with(message + "Usage: stickfight [options]\n")) << run.Err;
        EXPECT_TRUE(Contains(run.Err, "  --volume N ")) << "the whole help follows";
    }
}

TEST(ProgramOptions, ProgramWithoutADisplaySaysSoAndEndsWithStatusOne)
{
    const TRun none = RunProgram({});
    EXPECT_EQ(none.ExitStatus, 1) << none.Err;
    EXPECT_TRUE(Contains(none.Err, "stickfight needs a display, and none is set")) << none.Err;
    EXPECT_TRUE(Contains(none.Err, "xvfb-run")) << none.Err;
    // A display number no server listens on.
    const TRun unreachable = RunProgram({}, ":987");
    EXPECT_EQ(unreachable.ExitStatus, 1) << unreachable.Err;
    EXPECT_TRUE(Contains(unreachable.Err, "stickfight cannot open the display \":987\"")) << unreachable.Err;
}
