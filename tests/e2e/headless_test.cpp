// Runs the real program headless: replies piped in, transcript and files checked.
#include <gtest/gtest.h>
#include "tests/support/file_text.hpp"
#include "tests/support/run_command.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstdint>
#include <iterator>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What a shell command writes to standard output and standard error.
std::string output_of(const std::string& command) {
    std::string text;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    if (pipe) ::pclose(pipe);
    return text;
}

// A private copy of the program, so that its directory (where the reply log
// and replay file live) belongs to this test alone.
class Program : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() / ("zeph-e2e-" + std::to_string(::getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory_);
        fs::create_directories(directory_ / "work");
        fs::copy_file(fs::path(ZEPH_BINARY_DIR) / "zeph", directory_ / "zeph");
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(directory_);
    }

    // Runs the program with `input` on standard input; returns the transcript.
    // `limits` are shell commands run first (a ulimit).
    std::string run(const std::string& input, const std::string& arguments = "", const std::string& limits = "") {
        const fs::path input_file = directory_ / "input.txt";
        std::ofstream(input_file, std::ios::binary) << input;
        const std::string command = limits + " cd '" + (directory_ / "work").string() + "' && timeout 120 '" +
                                    (directory_ / "zeph").string() + "' " + arguments + " < '" +
                                    input_file.string() + "' 2>&1";
        std::string output;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return output;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        exit_status_ = WEXITSTATUS(::pclose(pipe));
        return output;
    }

    fs::path directory_;
    int exit_status_ = -1;
};

TEST_F(Program, AllocateThenEndOfInputEndsTheRun) {
    const std::string transcript = run("AL\n1001\n");
    EXPECT_EQ(exit_status_, 0);
    EXPECT_NE(transcript.find("Number of sample points to allocate memory for:\n/ 32768.\n<Enter>/\n1001\n"),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("Maximum number of sample points:      1002\nEnter command..."), std::string::npos);
    // The end of the input at the command prompt ends the run as EN does.
    const std::string saved = zeph::testing::file_text(directory_ / "ZEPH32.RL");
    EXPECT_NE(saved.find("AL          *! Enter command...\n1001        *! Number of sample points"), std::string::npos)
        << saved;
    EXPECT_TRUE(fs::exists(directory_ / "ZEPH32.TMP"));
}

TEST_F(Program, TranscriptShowsMessagesAndCommandResults) {
    const std::string transcript = run("sp po\nDE\nZ=COS(PI/4)\nDE\npi=3\nXX\nEN\n");
    EXPECT_NE(transcript.find("Must create data first. Use RT, RF, RA, RB, AS EQ, or BS EQ\nEnter command..."),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("Z = ( .707106781186     ,  .0                )\nEnter command..."),
              std::string::npos);
    EXPECT_NE(transcript.find("Cannot redefine reserved variable: PI"), std::string::npos);
    // No escape codes in a headless transcript.
    EXPECT_EQ(transcript.find('\x1b'), std::string::npos);
}

TEST_F(Program, ReplayWithNopauseRepeatsTheRunAndEndsByItself) {
    run("DE\nQ=2*PI\nAL\n2000\nEN\n");
    const std::string first = zeph::testing::file_text(directory_ / "ZEPH32.RL");
    ASSERT_NE(first.find("Q=2*PI"), std::string::npos);

    const std::string transcript = run("", "RL NOPAUSE");
    EXPECT_EQ(exit_status_, 0);
    EXPECT_NE(transcript.find("Q = ( 6.28318530718"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Maximum number of sample points:      2000"), std::string::npos);
    // The replay wrote the same replies again, after the same three header lines.
    EXPECT_EQ(zeph::testing::file_text(directory_ / "ZEPH32.RL"), first);
    const std::string header = first.substr(0, first.find('\n'));
    EXPECT_EQ(fs::path(header), fs::canonical(directory_ / "work"));
}

// RL in a replayed log is refused, not followed back to the top: a NOPAUSE
// replay always ends.
TEST_F(Program, ReplayedRlIsRefusedAndTheReplayEnds) {
    for (const char* line : {"Rl", " RL", "WA RL", "RL"}) {
        SCOPED_TRACE(line);
        std::ofstream(directory_ / "ZEPH32.RL")
            << (directory_ / "work").string() << "\n\n\nDE          *! Enter command...\nQ=1         *! Enter\n"
            << line << "  *! Enter command...\nDE          *! Enter command...\nR=2         *! Enter\n";
        const std::string transcript = run("", "RL NOPAUSE");
        EXPECT_EQ(exit_status_, 1) << transcript.substr(0, 2000);   // the refusal is an error
        EXPECT_NE(transcript.find("A replay is running: RL is not started again.\nEnter command..."),
                  std::string::npos);
        EXPECT_NE(transcript.find("R = ( 2."), std::string::npos);   // the replies after it were taken
    }
}

TEST_F(Program, EndOfReplayInsideADialogueEndsTheRun) {
    // A replay that stops inside the AL dialogue: the prompt gets END and the run ends.
    std::ofstream(directory_ / "ZEPH32.RL") << (directory_ / "work").string() << "\n\n\nAL          *! Enter command...\n";
    const std::string transcript = run("", "rl nopause");
    EXPECT_EQ(exit_status_, 0);
    EXPECT_NE(transcript.find("Number of sample points to allocate memory for:"), std::string::npos);
    EXPECT_NE(zeph::testing::file_text(directory_ / "ZEPH32.RL").find("AL          *! Enter command..."), std::string::npos);
}

TEST_F(Program, TypedReplaySkipsTheHeaderLines) {
    std::ofstream(directory_ / "ZEPH32.RL") << "/nowhere\nreal\nimag\nAL          *! Enter command...\n"
                                               "4096        *! Number of sample points\n";
    const std::string transcript = run("RL\nEN\n");
    EXPECT_EQ(transcript.find("ERROR OR MISSING PARAMETERS"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Maximum number of sample points:      4096"), std::string::npos);
}

TEST_F(Program, NamedReplayFileAndSyntaxHelp) {
    std::ofstream(directory_ / "work" / "my.rl") << "/\n\n\nDE          *! Enter command...\n"
                                                      "K=5         *! prompt\n";
    const std::string transcript = run("", "my.rl NOPAUSE");
    EXPECT_NE(transcript.find("K = ( 5."), std::string::npos) << transcript;

    const std::string syntax = run("", "?");
    EXPECT_EQ(syntax, "Syntax is: ZEPH [real file] [imag file] [RL] [filename.RL] [NOPAUSE]\n");
}

// A script names its files through the environment: ${NAME} in a replayed
// reply; an unset name is an error and the question is asked again; typed
// replies keep "$" as written.
TEST_F(Program, ScriptsTakeNamesFromTheEnvironment) {
    std::ofstream(directory_ / "work" / "analyse.RL")
        << "/\n\n\nDE          *! Enter command...\nQ=${ZEPH_Q}+$$ *! prompt\n"
           "DE          *! Enter command...\nR${ZEPH_UNSET}=1 *! prompt\nR=2      *! prompt\n";
    std::string transcript = run("", "analyse.RL NOPAUSE", "export ZEPH_Q=40; unset ZEPH_UNSET;");
    EXPECT_NE(transcript.find("\nQ=40+$\n"), std::string::npos) << transcript;
    std::ofstream(directory_ / "work" / "analyse.RL")
        << "/\n\n\nDE          *! Enter command...\nQ=${ZEPH_Q}+2 *! prompt\n"
           "DE          *! Enter command...\nR${ZEPH_UNSET}=1 *! prompt\nR=2      *! prompt\n";
    transcript = run("", "analyse.RL NOPAUSE", "export ZEPH_Q=40; unset ZEPH_UNSET;");
    EXPECT_NE(transcript.find("Q = ( 42."), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Error. Environment variable not set: ZEPH_UNSET"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("R = ( 2."), std::string::npos) << transcript;
    // Typed (piped) replies are taken literally.
    transcript = run("DE\nQ=${ZEPH_Q}\nEN\n", "", "export ZEPH_Q=40;");
    EXPECT_EQ(transcript.find("Q = ( 40."), std::string::npos) << transcript;
}

// A script tells a failed analysis from a good one: status 1 once an error
// was shown, each error also on standard error, the transcript as it was;
// --fail-fast ends the run at the first; an unknown option does not start.
TEST_F(Program, TheExitStatusTellsWhetherAnErrorWasShown) {
    struct Case {
        const char* input;
        const char* arguments;
        int status;
        const char* errors;
    };
    const Case cases[] = {
        {"DE\nQ=1\nEN\n", "", 0, ""},
        {"RT\nnothere.wav\nEN\n", "", 1, "zeph: Cannot find file: nothere.wav\n"},
        {"SP PO\nEN\n", "", 1, "zeph: Must create data first. Use RT, RF, RA, RB, AS EQ, or BS EQ\n"},
        {"DE\nQ=1+\nEN\n", "", 1, "zeph: *****INTERP. MISSING OPERAND FOR + OR -\n"},
        {"AL\n1 2\n1000\nEN\n", "", 1, "zeph: Error. Invalid entry or wrong number of values.\n"},
        {"RT\nnothere.wav\nDE\nQ=1\nEN\n", "--fail-fast", 1, "zeph: Cannot find file: nothere.wav\n"},
        {"EN\n", "--colour", 2, "zeph: unknown option: --colour (zeph --help lists them)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::ofstream(directory_ / "input.txt") << c.input;
        const std::string start = "cd '" + (directory_ / "work").string() + "' && timeout 20 '" +
                                  (directory_ / "zeph").string() + "' " + c.arguments + " < '" +
                                  (directory_ / "input.txt").string() + "'";
        const std::string errors = output_of("(" + start + " 2>&1 >/dev/null)");
        const std::string transcript = output_of("(" + start + " 2>/dev/null; echo \"status $?\")");
        EXPECT_EQ(errors, c.errors);
        EXPECT_NE(transcript.find("status " + std::to_string(c.status) + "\n"), std::string::npos) << transcript;
        EXPECT_EQ(transcript.find("zeph: "), std::string::npos);
        if (c.status == 1) {   // the message stays in the transcript, where it always was
            const std::string shown = std::string(c.errors).substr(6);
            EXPECT_NE(transcript.find(shown), std::string::npos) << transcript;
        }
    }
    // --fail-fast: nothing after the error ran, and the replies so far were saved as at EN.
    std::ofstream(directory_ / "input.txt") << "RT\nnothere.wav\nDE\nQ=1\nEN\n";
    const std::string transcript = run("RT\nnothere.wav\nDE\nQ=1\nEN\n", "--fail-fast");
    EXPECT_EQ(transcript.find("Q = ("), std::string::npos) << transcript;
    EXPECT_NE(zeph::testing::file_text(directory_ / "ZEPH32.RL").find("nothere.wav"), std::string::npos);
}

// A script whose replay file is missing (a misspelt name) could not start: it
// says so on standard error and ends with status 2, never as a run that worked.
TEST_F(Program, AMissingReplayFileEndsTheStartWithStatusTwo) {
    const std::string transcript = run("", "plot.rl NOPAUSE");
    EXPECT_EQ(exit_status_, 2);
    EXPECT_EQ(transcript, "zeph: Cannot find file: plot.rl\n");
    EXPECT_FALSE(fs::exists(directory_ / "ZEPH32.RL"));
    run("EN\n", "RL");   // headless: no ZEPH32.RL yet
    EXPECT_EQ(exit_status_, 2);
}

// Links and pipes in place of the program's files are neither followed nor
// waited on: the victim's file is untouched, a planted replay never runs.
TEST_F(Program, PlantedLinksAndPipesAreNotFollowed) {
    const fs::path victim = directory_ / "work" / "victim.txt";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, directory_ / "ZEPH32.TMP");
    std::string transcript = run("EN\n");
    EXPECT_EQ(zeph::testing::file_text(victim), "precious");
    EXPECT_NE(transcript.find("ZEPH32.TMP (a symbolic link)"), std::string::npos) << transcript;

    fs::remove(directory_ / "ZEPH32.TMP");
    std::ofstream(directory_ / "planted.RL") << "/\n\n\nSY          *! Enter command...\n"
                                                "touch pwned *! command\n";
    fs::create_symlink(directory_ / "planted.RL", directory_ / "ZEPH32.RL");
    transcript = run("", "RL NOPAUSE");
    EXPECT_FALSE(fs::exists(directory_ / "work" / "pwned")) << transcript;

    fs::remove(directory_ / "ZEPH32.RL");
    ASSERT_EQ(::mkfifo((directory_ / "ZEPH32.TMP").c_str(), 0600), 0);
    transcript = run("DE\nQ=1\nEN\n");   // would hang on the pipe: the run's time limit would end it
    EXPECT_EQ(exit_status_, 1);   // the log refused is an error, and the run goes on
    EXPECT_NE(transcript.find("ZEPH32.TMP (not a regular file)"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Q = ( 1."), std::string::npos);
}

// An installed program (its folder named bin) keeps its files in the state
// folder; without a home it keeps none, and never falls back to /tmp.
TEST_F(Program, AnInstalledProgramKeepsItsFilesInTheUsersStateFolderOnly) {
    fs::create_directories(directory_ / "prefix" / "bin");
    fs::create_directories(directory_ / "tmp");
    fs::copy_file(directory_ / "zeph", directory_ / "prefix" / "bin" / "zeph");
    const std::string bin = (directory_ / "prefix" / "bin" / "zeph").string();
    const std::string input = (directory_ / "input.txt").string();
    std::ofstream(input) << "DE\nQ=1\nEN\n";
    const std::string go = "cd '" + (directory_ / "work").string() + "' && ";
    std::string transcript = output_of(go + "env -u HOME -u XDG_STATE_HOME TMPDIR='" + (directory_ / "tmp").string() +
                                       "' timeout 120 '" + bin + "' < '" + input + "'");
    EXPECT_NE(transcript.find("No reply log: neither HOME nor XDG_STATE_HOME is set."), std::string::npos)
        << transcript;
    EXPECT_TRUE(fs::is_empty(directory_ / "tmp"));
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_ / "prefix" / "bin"), fs::directory_iterator()), 1);

    transcript = output_of(go + "env -u XDG_STATE_HOME HOME='" + (directory_ / "home").string() + "' timeout 120 '" +
                           bin + "' < '" + input + "'");
    const fs::path state = directory_ / "home" / ".local" / "state" / "zeph";
    EXPECT_NE(zeph::testing::file_text(state / "ZEPH32.RL").find("Q=1"), std::string::npos) << transcript;
    EXPECT_EQ(fs::status(state).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(state / "ZEPH32.RL").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory_ / "prefix" / "bin"), fs::directory_iterator()), 1);
}

TEST_F(Program, StartupFileNamesChangeDirectoryAndAreLogged) {
    fs::create_directories(directory_ / "data");
    run("EN\n", "'" + (directory_ / "data" / "Sig.re").string() + "' sig.IM");
    const std::string saved = zeph::testing::file_text(directory_ / "ZEPH32.RL");
    std::istringstream lines(saved);
    std::string directory, real, imag;
    std::getline(lines, directory);
    std::getline(lines, real);
    std::getline(lines, imag);
    EXPECT_EQ(fs::path(directory), fs::canonical(directory_ / "data"));
    EXPECT_EQ(real, "Sig.re");
    EXPECT_EQ(imag, "sig.IM");
}

TEST_F(Program, SystemCommandOutputIsShown) {
    const std::string transcript = run("SY\necho hello from the shell\n\nEN\n");
    // The key the wait took follows it, as the reply named it.
    EXPECT_NE(transcript.find("hello from the shell\n\nHit any key to continue...\n<ENTER>\n"), std::string::npos)
        << transcript;
}

// A plot's key loop writes each key it took, so replies line up with their use.
TEST_F(Program, PlotKeysAreWrittenToTheTranscript) {
    const std::string transcript = run("AS EQ\n16 0 1\nX\nAS RE PL\n\n<RIGHT>\n<ESC>\nEN\n");
    EXPECT_NE(transcript.find("<RIGHT>\n<ESC>\n"), std::string::npos) << transcript;
}

// A tone built by EQ, its power spectrum in dB with statistics saved to
// STATS.TXT in the program directory, replayed from the saved replies.
TEST_F(Program, ToneSpectrumStatisticsAreSavedAndReplayed) {
    const std::string replies = "AS EQ\n1024 0 .0001\nCMPLX(COS(TWOPI*976.5625*X),SIN(TWOPI*976.5625*X))\n"
                                "SP PO DB ST SS NOPL\n\nEN\n";
    const std::string transcript = run(replies);
    EXPECT_NE(transcript.find("Data appended to file 'STATS.TXT'. <Esc> to continue:"), std::string::npos)
        << transcript;
    const std::string stats = zeph::testing::file_text(directory_ / "STATS.TXT");
    EXPECT_NE(stats.find(" SAMP POINTS, N =  1024"), std::string::npos) << stats;
    EXPECT_NE(stats.find("  FREQ INT., DF =  9.765625"), std::string::npos) << stats;
    EXPECT_NE(stats.find(" CEPT: -12.5 KHZ ="), std::string::npos);
    EXPECT_NE(stats.find("TOTAL PWR DB REF ="), std::string::npos);
    // A unit tone on bin 100: its level is 10*log10((N*DT)^2) = -19.794 dB.
    EXPECT_NE(stats.find("MAXIMUM = -19.79"), std::string::npos) << stats;

    // Replaying the run appends the same block again.
    run("", "RL NOPAUSE");
    const std::string twice = zeph::testing::file_text(directory_ / "STATS.TXT");
    EXPECT_EQ(twice, stats + stats);
}

// A plot exported three ways without a display; each file is read back by
// the tool a user would open it with.
TEST_F(Program, PlotExportsOpenInOrdinaryTools) {
    const fs::path work = directory_ / "work";
    run("AS EQ\n256 0 .01\nSIN(TWOPI*X)\nAS RE ME EX BI\n\npoints.txt\nplot.wmf\nplot.png\n\n"
        "AS RE NOEX BI\n\nplot.bmp\n<RIGHT>\n<ESC>\nEN\n");
    auto have = [](const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0; };

    ASSERT_TRUE(fs::exists(work / "points.txt"));
    const std::string points = zeph::testing::file_text(work / "points.txt");
    EXPECT_EQ(points.substr(0, 30), "      0.000000,      0.000000\n");
    if (have("python3") || fs::exists("/usr/bin/python3")) {
        const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        EXPECT_EQ(output_of(python + " -c \"import numpy; a = numpy.loadtxt('" + (work / "points.txt").string() +
                            "', delimiter=','); print(a.shape, round(a[25, 1], 6))\""),
                  "(256, 2) 1.0\n");
    }
    if (have("identify")) {
        EXPECT_EQ(output_of("identify -format '%m %wx%h' '" + (work / "plot.png").string() + "'"), "PNG 1280x864");
        EXPECT_EQ(output_of("identify -format '%m %wx%h' '" + (work / "plot.bmp").string() + "'"), "BMP3 1280x864");
    }
    if (have("wmf2svg")) {
        const fs::path svg = directory_ / "plot.svg";
        EXPECT_EQ(output_of("wmf2svg -o '" + svg.string() + "' '" + (work / "plot.wmf").string() + "'"), "");
        const std::string text = zeph::testing::file_text(svg);
        EXPECT_NE(text.find(">Signal A: 0+j0</text>"), std::string::npos);
        EXPECT_NE(text.find("<line"), std::string::npos);
    }
}

// EX keeps every value in 14 characters: plain while it fits, else with an
// exponent; numpy reads every line.
TEST_F(Program, PointFileValuesTooWideForPlainFormKeepTheirField) {
    const fs::path work = directory_ / "work";
    run("AS EQ\n8 0 1\n(X-4)*1E8\nAS RE EX\n\npoints.txt\n\nEN\n");
    const std::string points = zeph::testing::file_text(work / "points.txt");
    ASSERT_FALSE(points.empty());
    std::istringstream lines(points);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_EQ(line.size(), 29u) << line;
        EXPECT_EQ(line[14], ',') << line;
    }
    EXPECT_EQ(count, 8);
    EXPECT_NE(points.find("      0.000000, -4.000000E+08\n"), std::string::npos) << points;
    EXPECT_NE(points.find("      4.000000,      0.000000\n"), std::string::npos) << points;
    if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(output_of("/usr/bin/python3 -c \"import numpy; a = numpy.loadtxt('" + (work / "points.txt").string() +
                        "', delimiter=','); print(a.shape, a[0, 1], a[7, 1])\""),
              "(8, 2) -400000000.0 300000000.0\n");
}

// Texts beyond ASCII reach the transcript, the reply log and STATS.TXT as UTF-8, and a
// replay file written with the former ASCII prompts replays the same run.
TEST_F(Program, TextsAreUtf8AndOldAsciiReplayFilesStillReplay) {
    const std::string type_prompt =
        "Type: A=+(A+jB), M=*(A+jB), E=*(A+jB)*EXP(j2πft), S=*(A+jB)*COS(2πft+Θ), C=conj.";
    const std::string transcript = run("AS EQ\n8 0 1\nX\nAS LT\nS\n2 0 0 0\nAS SU ST SS NOPL\n1 1\n\nEN\n");
    EXPECT_NE(transcript.find("\n" + type_prompt + "\n"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("\n Real ± Imag\n"), std::string::npos) << transcript;
    EXPECT_NE(zeph::testing::file_text(directory_ / "STATS.TXT").find("Real ± Imag"), std::string::npos);
    const std::string saved = zeph::testing::file_text(directory_ / "ZEPH32.RL");
    EXPECT_NE(saved.find("S           *! " + type_prompt + "\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("2 0 0 0     *! OUT = IN*(A+jB)*COS(2πft+Θ). Enter A, B, f, Θ (radians)\n"),
              std::string::npos)
        << saved;

    const std::string replayed = run("", "RL NOPAUSE");
    EXPECT_EQ(zeph::testing::file_text(directory_ / "ZEPH32.RL"), saved);

    // The same replies under the prompts an older version wrote.
    std::string old = saved;
    const std::pair<std::string, std::string> ascii[] = {
        {type_prompt, "Type: A=+(A+jB),M=*(A+jB),E=*(A+jB)*EXP(j2pift),S=*(A+jB)*COS(2pift+Th),C=conj."},
        {"COS(2πft+Θ). Enter A, B, f, Θ (radians)", "COS(2pift+Th). Enter A, B, f, Th (radians)"},
    };
    for (const auto& [now, before] : ascii) {
        const auto at = old.find(now);
        ASSERT_NE(at, std::string::npos) << now;
        old.replace(at, now.size(), before);
    }
    std::ofstream(directory_ / "ZEPH32.RL", std::ios::binary) << old;
    EXPECT_EQ(run("", "RL NOPAUSE"), replayed);
    EXPECT_EQ(zeph::testing::file_text(directory_ / "ZEPH32.RL"), saved);   // logged again with today's prompts
}

// A UTF-8 file name is written and read back as typed, and the status line
// aligns it by characters.
TEST_F(Program, Utf8FileNamesAreOpenedAsTyped) {
    const std::string transcript = run("AS EQ\n8 0 1\nX*100\nWA RE FI\nseñal_π.wav\nMO\nRT\nseñal_π.wav\n\nEN\n");
    EXPECT_TRUE(fs::exists(directory_ / "work" / "señal_π.wav"));
    EXPECT_NE(transcript.find("Time domain function: señal_π.wav,+j0          8 Samples"), std::string::npos)
        << transcript;
}

// A WAV made by sox is read, listed and written back; sox reads the same samples.
TEST_F(Program, WavFromSoxRoundTrip) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    const fs::path work = directory_ / "work";
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -b 16 '" + (work / "tone.wav").string() +
                           "' synth 0.128 sine 1000 2>/dev/null").c_str()),
              0);
    const std::string transcript = run("RT\ntone.wav\n\nWA RE LI\n0 .0005\n<ESC>\nNOLI FI\nout.wav\nMO\nEN\n");
    EXPECT_NE(transcript.find("Time domain function: tone.wav,+j0       1024 Samples"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("    5   .0005"), std::string::npos);
    auto samples_of = [&](const std::string& name) {
        std::string values;
        std::FILE* pipe = ::popen(("sox '" + (work / name).string() + "' -t dat - 2>/dev/null").c_str(), "r");
        char buffer[4096];
        std::size_t n;
        while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) values.append(buffer, n);
        if (pipe) ::pclose(pipe);
        return values;
    };
    const std::string original = samples_of("tone.wav");
    ASSERT_FALSE(original.empty());
    EXPECT_EQ(samples_of("out.wav"), original);
}

// A NaN made by a formula or read from a file is left out of DI; the run goes
// on and its replies are saved.
TEST_F(Program, DistributionOfDataWithANanEndsNormally) {
    std::ofstream(directory_ / "work" / "values.txt") << "1\nnan\n3\n";
    const std::string replies[] = {"AS EQ\n3 0 1\nX+REAL((X-1)/(X-1))\nAS RE DI\n10\n\nEN\n",
                                   "RT\nvalues.txt\n\nAS RE DI\n10\n\nEN\n"};
    for (const std::string& input : replies) {
        fs::remove(directory_ / "ZEPH32.RL");
        const std::string transcript = run(input);
        EXPECT_EQ(exit_status_, 0) << transcript;
        EXPECT_NE(transcript.find("1 value that is NaN or infinite left out\nXmin, Xmax, Ymin, Ymax for plot:"),
                  std::string::npos)
            << transcript;
        EXPECT_NE(zeph::testing::file_text(directory_ / "ZEPH32.RL").find("AS RE DI"), std::string::npos);
    }
}

// True when `texts` appear in `file` in this order.
bool shows_in_order(const fs::path& file, const std::vector<std::string>& texts) {
    const std::string content = zeph::testing::file_text(file);
    std::size_t at = 0;
    for (const std::string& text : texts) {
        at = content.find(text, at);
        if (at == std::string::npos) return false;
        at += text.size();
    }
    return true;
}

// Runs the program in `directory`/work with `input` on a pipe kept open,
// waits until its transcript shows `texts` in order, sends `signal_number`
// and returns the exit status (-1 when it did not get there or did not end
// within a minute, which only a hung run takes).
int run_and_signal(const fs::path& directory, const std::string& input, const std::vector<std::string>& texts,
                   int signal_number) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return -2;
    const fs::path transcript = directory / "transcript.txt";
    fs::remove(transcript);   // an earlier run's transcript must not be taken for this one's
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipe_fds[0], STDIN_FILENO);
        ::close(pipe_fds[1]);
        const int out = ::open(transcript.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        if (::chdir((directory / "work").c_str()) != 0) ::_exit(126);
        const std::string program = (directory / "zeph").string();
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipe_fds[0]);
    if (::write(pipe_fds[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) return -3;
    int status = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    bool signalled = false;
    while (std::chrono::steady_clock::now() < give_up) {
        if (!signalled && shows_in_order(transcript, texts)) {
            ::kill(child, signal_number);
            signalled = true;
        }
        if (::waitpid(child, &status, WNOHANG) == child) {
            ::close(pipe_fds[1]);
            if (!signalled) return -4;   // ended before the signal
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    ::close(pipe_fds[1]);
    return -1;
}

// A signal at a prompt ends the run as EN does: the replies so far are saved
// as ZEPH32.RL and the exit status is 128 + the signal. The other signals that
// would end a process do the same.
TEST_F(Program, SignalsAtAPromptEndTheRunAndSaveTheReplies) {
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}) {
        SCOPED_TRACE(signal_number);
        fs::remove(directory_ / "ZEPH32.RL");
        EXPECT_EQ(run_and_signal(directory_, "AS EQ\n16 0 1\nX\n", {"\nX\n", "Enter command..."}, signal_number),
                  128 + signal_number);
        const std::string saved = zeph::testing::file_text(directory_ / "ZEPH32.RL");
        EXPECT_NE(saved.find("X           *! A = F(A,B,X,constants)."), std::string::npos) << saved;
    }
}

// A signal while a long formula is evaluated ends the evaluation (the
// formula looks at the stop request between blocks) and then the run, with
// the replies saved. The signal is sent as soon as the formula is taken; a
// machine fast enough to finish first is given a formula twice as long.
TEST_F(Program, ASignalDuringALongFormulaAbandonsItAndEndsTheRun) {
    std::string formula = "SIN(COS(SIN(COS(X))))*EXP(-X)*SQRT(X)*LOG(X+1)*ATAN(X)*SIN(X)*COS(X)";
    bool abandoned = false;
    for (int attempt = 0; attempt < 4 && !abandoned; ++attempt, formula = formula + "*" + formula) {
        SCOPED_TRACE(formula.size());
        EXPECT_EQ(run_and_signal(directory_, "AL\n8000000\nAS EQ\n8000000 0 1\n" + formula + "\n",
                                 {"\n" + formula + "\n"}, SIGTERM),
                  143);
        EXPECT_NE(zeph::testing::file_text(directory_ / "ZEPH32.RL").find("8000000     *! Number of sample points"),
                  std::string::npos);
        // Abandoned: the run ended with the formula's message, before another command prompt.
        const std::string transcript = zeph::testing::file_text(directory_ / "transcript.txt");
        const std::size_t taken = transcript.rfind(formula);
        ASSERT_NE(taken, std::string::npos);
        const std::string after = transcript.substr(taken);
        abandoned = after.find("Formula not evaluated: the run is ending.") != std::string::npos;
        if (abandoned) {
            EXPECT_EQ(after.find("Enter command..."), std::string::npos) << after;
        }
    }
    EXPECT_TRUE(abandoned);
}

// A command of SY that never ends (or never stops writing) is ended with its
// whole process group by a signal, and the run ends as on any signal.
TEST_F(Program, ASignalWhileASystemCommandRunsEndsBoth) {
    EXPECT_EQ(run_and_signal(directory_, "SY\necho begun; sleep 1000\n", {"\nbegun\n"}, SIGTERM), 143);
    EXPECT_NE(zeph::testing::file_text(directory_ / "ZEPH32.RL").find("echo begun; sleep 1000"), std::string::npos);
    EXPECT_EQ(run_and_signal(directory_, "SY\nyes\n", {"\ny\ny\ny\n"}, SIGINT), 130);
}

// A reader that goes away (zeph ... | head) ends the run as a signal does:
// the replies are saved, and the status tells the write failed.
TEST_F(Program, AReaderThatGoesAwayEndsTheRunWithTheRepliesSaved) {
    std::ofstream(directory_ / "input.txt") << "DE\nQ=1\nSY\nyes | head -n 100000\nDE\nR=2\nEN\n";
    const fs::path script = directory_ / "reader.sh";
    std::ofstream(script) << "cd '" << (directory_ / "work").string() << "' && timeout 60 '"
                          << (directory_ / "zeph").string() << "' < '" << (directory_ / "input.txt").string()
                          << "' | head -n 25 > /dev/null; echo \"${PIPESTATUS[0]}\"\n";
    const std::string status = output_of("bash '" + script.string() + "'");
    EXPECT_EQ(status, "141\n");
    const std::string saved = zeph::testing::file_text(directory_ / "ZEPH32.RL");
    EXPECT_NE(saved.find("Q=1"), std::string::npos) << saved;
}

// Control characters in what the transcript shows (a command's output) are
// written as blanks, never passed on to the reader's terminal.
TEST_F(Program, TheTranscriptCarriesNoControlCharacters) {
    const std::string transcript = run("SY\nprintf 'bell\\007 esc\\033[31m red'\n\nEN\n");
    EXPECT_NE(transcript.find("bell  esc [31m red"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find('\x1b'), std::string::npos);
    EXPECT_EQ(transcript.find('\x07'), std::string::npos);
}

// WP of a real signal written to a file: the frequencies and densities of
// scipy.signal.welch with the same segments and Kaiser window, read from the
// samples the program wrote.
TEST_F(Program, WelchFileAgreesWithScipy) {
    const std::string python = zeph::test::python_with_scipy();
    if (python.empty()) GTEST_SKIP() << "python3 with scipy is missing";
    const fs::path work = directory_ / "work";
    run("AS EQ\n2000 0 .0001\nSIN(TWOPI*440*X)+0.5*COS(TWOPI*1250*X)+gauss(0,1)\n"
        "AS RE FI\nsignal.txt\n2C\nWA WP FI\n256, 100\nK\n8.6\nwelch.txt\n2C\nEN\n");
    EXPECT_EQ(exit_status_, 0);
    ASSERT_TRUE(fs::exists(work / "welch.txt"));
    const fs::path script = directory_ / "welch_check.py";
    std::ofstream(script) << "import numpy as np\n"
                             "from scipy import signal\n"
                             "x = np.loadtxt('signal.txt', delimiter=',')[:, 1]\n"
                             "w = np.loadtxt('welch.txt', delimiter=',')\n"
                             "f, p = signal.welch(x, fs=1e4, window=('kaiser', 8.6), nperseg=256, noverlap=100,\n"
                             "                    detrend=False, scaling='density')\n"
                             "assert w.shape == (len(f), 2), w.shape\n"
                             "def worst(a, b):\n"
                             "    return np.max(np.abs(a - b) / np.maximum(np.abs(b), 1e-300))\n"
                             "print('ok' if worst(w[:, 0], f) < 1e-9 and worst(w[:, 1], p) < 1e-9 else\n"
                             "      'far %g %g' % (worst(w[:, 0], f), worst(w[:, 1], p)))\n";
    EXPECT_EQ(output_of("cd '" + work.string() + "' && " + python + " '" + script.string() + "'"), "ok\n");
}

// Sound through SDL's disk driver: what is played is written to out.raw, what
// is recorded is read from in.raw. `env` goes before the program's command.
class SoundProgram : public Program {
protected:
    std::string sound_env(const std::string& driver = "disk") const {
        const fs::path work = directory_ / "work";
        return "unset ZEPH_AUDIO; export SDL_AUDIODRIVER=" + driver + " SDL_DISKAUDIOFILE='" +
               (work / "out.raw").string() + "' SDL_DISKAUDIOFILEIN='" + (work / "in.raw").string() +
               "' SDL_DISKAUDIODELAY=1;";
    }
    std::vector<std::int16_t> raw(const std::string& name) const {
        std::ifstream in(directory_ / "work" / name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> samples(bytes.size() / 2);
        if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }
    // The played stretch: from the first sample that is not silence, as long as `expected`.
    std::vector<std::int16_t> played(std::size_t length) const {
        const std::vector<std::int16_t> file = raw("out.raw");
        const auto first = std::find_if(file.begin(), file.end(), [](std::int16_t v) { return v != 0; });
        const auto end = first + std::min<std::ptrdiff_t>(file.end() - first, static_cast<std::ptrdiff_t>(length));
        return {first, end};
    }
};

// k*20 - 30000 on 4000 points at 8 kHz: the values from k = 3139 on lie beyond full scale.
TEST_F(SoundProgram, AuPlaysTheShownSamplesAndCountsTheClippedOnes) {
    const std::string transcript =
        run("AS EQ\n4000 0 .000125\nX*8000*20-30000\nAS RE NOPL AU\nEN\n", "", sound_env());
    EXPECT_NE(transcript.find("Playing 0.50 s at 8000 Hz. Esc stops."), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Clipped 861 values beyond full scale"), std::string::npos) << transcript;
    std::vector<std::int16_t> expected(4000);
    for (int k = 0; k < 4000; ++k) expected[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(std::min(k * 20 - 30000, 32767));
    EXPECT_EQ(played(expected.size()), expected);
    EXPECT_EQ(exit_status_, 0) << transcript;   // the clipping is a notice, not an error
}

TEST_F(SoundProgram, WithoutSoundOneMessageAndTheLineGoesOn) {
    const std::string replies = "AS EQ\n100 0 .000125\nX*8000\nAS RE NOPL FI AU\nvalues.r8\n\nEN\n";
    std::string transcript = run(replies, "", sound_env("nonexistent"));
    // Once in the transcript and once on standard error, with SDL's reason; nothing else from the library.
    int shown = 0;
    for (auto at = transcript.find("No sound output: "); at != std::string::npos;
         at = transcript.find("No sound output: ", at + 1))
        ++shown;
    EXPECT_EQ(shown, 2) << transcript;
    EXPECT_NE(transcript.find("No sound output: "), transcript.find("No sound output: \n"));   // a reason follows
    EXPECT_EQ(transcript.find("SDL"), std::string::npos) << transcript;
    EXPECT_TRUE(fs::exists(directory_ / "work" / "values.r8"));   // FI ran before
    EXPECT_FALSE(fs::exists(directory_ / "work" / "out.raw"));

    fs::remove(directory_ / "work" / "values.r8");
    transcript = run(replies, "", sound_env() + " export ZEPH_AUDIO=none;");
    EXPECT_NE(transcript.find("Sound is off (ZEPH_AUDIO=none)."), std::string::npos) << transcript;
    EXPECT_TRUE(fs::exists(directory_ / "work" / "values.r8"));
    EXPECT_FALSE(fs::exists(directory_ / "work" / "out.raw"));
}

TEST_F(SoundProgram, RcRecordsTheInputAndAuPlaysItBack) {
    std::vector<std::int16_t> input(2000);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::int16_t>(1 + (i * 7919 % 30000));
    std::ofstream(directory_ / "work" / "in.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size() * 2));
    const std::string transcript = run("RC\n0.25, 8000\n1\nWA RE NOPL AU\nEN\n", "", sound_env());
    EXPECT_NE(transcript.find("Recording 0.25 s at 8000 Hz. Esc stops."), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Rec 8000 Hz,+j0       2000 Samples"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Playing 0.25 s at 8000 Hz."), std::string::npos) << transcript;
    EXPECT_EQ(played(input.size()), input);
    EXPECT_EQ(exit_status_, 0) << transcript;
}

}  // namespace
