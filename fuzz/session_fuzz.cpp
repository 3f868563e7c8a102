// libFuzzer target: the whole program, headless, in-process. Each input is a
// run of reply lines fed to the command loop as the headless front end feeds
// them; the transcript is thrown away. Every input starts afresh in the same
// scratch folder, which is also the program directory, so the reply log,
// ZEPH32.RL, STATS.TXT and every file the replies write land there.
//
// Input: lines separated by '\n', at most kMaxReplies of them.
//   - A line whose first byte is 0x80 or above is made of vocabulary tokens:
//     that byte picks a group of kVocabulary (command words, numbers,
//     formulas, definitions, answers, file names, keys), each byte after it an
//     entry of the group, and the entries are joined by blanks ("AS EQ",
//     "3 0 1", a formula, a file name, a key name ...).
//   - Any other line is the reply itself (at most kMaxLiteral bytes), left
//     out when it could leave the scratch folder, run a shell command or
//     replay itself (see literal_allowed).
//   - A first line "PAUSE" runs without NOPAUSE, so plots and listings wait
//     for keys.
// When EN ends a run with replies left, the program is started again as
// "zeph RL" (up to kMaxRuns runs), replaying the log the run before saved.
//
// Bounds that keep one input well under the fuzzing timeout: every run
// starts by allocating kCapacity points, the vocabulary holds no count above
// 1000 (and 1E30, which is refused), only plain numbers answer the
// allocation question, and at most kMaxReplays replies are RL.
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/text.hpp"
#include "shell/command_loop.hpp"
#include "shell/startup.hpp"
#include "window/headless.hpp"
#include "window/key_source.hpp"
#include "window/text_console.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxReplies = 64;
constexpr std::size_t kMaxLiteral = 100;
constexpr int kMaxRuns = 3;
constexpr int kMaxReplays = 2;   // RL replies per input
constexpr std::string_view kCapacity = "4096";
constexpr std::string_view kScratchPrefix = "zeph-session-fuzz-";   // + the process id
constexpr std::string_view kAllocatePrompt = "Number of sample points to allocate memory for:";

// The vocabulary of token lines, in groups; the marker byte picks the group.
// Appending entries keeps the token lines of a corpus meaning the same.
constexpr std::string_view kCommandWords[] = {
    // Functions, parameters, operations, reads and the commands that run at once (SY left out).
    "WA", "SP", "AS", "BS", "RE", "IM", "AM", "PO", "DP", "RP", "DD", "RD", "XY", "PR", "SU", "RX", "RR", "IN",
    "GR", "WI", "LT", "CS", "CH", "DX", "IX", "FF", "AC", "CV", "XC", "SW", "A=", "B=", "AD", "MU", "DE", "SH",
    "EQ", "CR", "RT", "RF", "RA", "RB", "AL", "SE", "EN",
    // Options and their NO- forms.
    "PL", "AV", "DI", "FI", "LI", "CU", "ST", "EX", "MO", "WR", "SC", "OV", "ME", "BI", "DB", "SS", "LA", "LO",
    "MA", "SM", "PG", "AX", "GO", "ZE", "CO", "AR", "HI", "NOPL", "NOAV", "NODI", "NOFI", "NOLI", "NOCU",
    "NOST", "NOEX", "NOMO", "NOWR", "NOSC", "NOME", "NOBI", "NODB", "NOSS", "NOLA", "NOLO", "NOMA", "NOSM",
    "NOPG", "NOAX", "NOGO", "NOZE", "NOCO", "NOAR", "NOHI",
};
// No count above 1000 (1E30 is refused).
constexpr std::string_view kNumbers[] = {
    "0", "1", "2", "3", "4", "5", "7", "8", "10", "16", "64", "100", "1000", "-1", "-2", "-100", "0.5", "-0.25",
    "1.5", "3.14159", "0.001", "1E30", "-1E30", "1E-30", ",", "/", "NPTS", "XMIN", "XMAX", "DX", "DT", "DF",
};
// Formulas, many of them making NaN or ±Inf somewhere.
constexpr std::string_view kFormulas[] = {
    "X", "A", "B", "A+B", "A*B", "X*X", "SIN(X)", "COS(2*PI*X/8)", "CMPLX(0,X)", "CMPLX(X,1)", "EXP(X)",
    "X+REAL((X-1)/(X-1))", "1/X", "-1/X", "LOG(X-X)", "(X-X)/(X-X)", "SQRT(-1)", "1E308*10", "RAND", "K*A+B",
    "S/(S+1)", "1/(S*S+S+1)", "ABS(A)", "REAL(A)", "IMAG(B)", "X+0/X", "X+0/(X-1)", "A/A", "B/B",
};
constexpr std::string_view kDefinitions[] = {
    "Z=COS(PI/4)", "K=2", "C=1/0", "A=0/0", "PI=3", "NPTS=5", "==1", "1=2",
};
// Answers to word questions: filters, windows, transforms, resampling, formats, labels.
constexpr std::string_view kAnswers[] = {
    "CHE", "BUTT", "TRAN", "BESS", "HILB", "H(S)", "LPF", "BPF", "C", "S", "R", "K", "N", "O", "XV", "SA", "I",
    "D", "M", "E", "A", "B", "MO", "ST", "R4", "R8", "I2", "2C", "1C", "=CONSTANT", "!", "TITLE", "Y",
};
// Names of the files the replies write, and the program's own files.
constexpr std::string_view kFileNames[] = {
    "F1.DAT", "F2.TXT", "S.WAV", "G.WMF", "G.BMP", "G.PNG", "STATS.TXT", "ZEPH32.TMP", "ZEPH32.RL", "NONE.DAT", "*",
};
// Keys and replay.
constexpr std::string_view kKeys[] = {
    "", "<ESC>", "<ENTER>", "<LEFT>", "<RIGHT>", "<UP>", "<DOWN>", "<PGUP>", "<PGDN>", "<HOME>", "<END>",
    "<DEL>", "<CTRL-LEFT>", "<CTRL-RIGHT>", "RL",
};
constexpr std::array<std::span<const std::string_view>, 7> kVocabulary{
    kCommandWords, kNumbers, kFormulas, kDefinitions, kAnswers, kFileNames, kKeys,
};

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A typed line may not name a path outside the scratch folder, run a shell
// command (SY), or hold RL other than as the exact reply "RL", which is not
// logged: a logged RL would make the log replay itself for ever.
bool literal_allowed(std::string_view line) {
    const std::string text = zeph::upper_case(line);
    if (trimmed(text).starts_with('/') || text.find("..") != std::string::npos ||
        text.find('\\') != std::string::npos || text.find('~') != std::string::npos)
        return false;
    if (text.find("SY") != std::string::npos) return false;
    return text.find("RL") == std::string::npos || line == "RL";
}

// The reply lines of one input.
std::vector<std::string> decode_replies(std::string_view input, bool& pause) {
    std::vector<std::string> replies;
    pause = false;
    bool first = true;
    int replays = 0;
    while (!input.empty() && replies.size() < kMaxReplies) {
        const std::size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
        if (first && line == "PAUSE") {
            pause = true;
            first = false;
            continue;
        }
        first = false;
        if (!line.empty() && static_cast<unsigned char>(line.front()) >= 0x80) {
            std::string reply;
            const auto group = kVocabulary[static_cast<unsigned char>(line.front()) % kVocabulary.size()];
            for (const unsigned char byte : line.substr(1)) {
                const std::string_view token = group[byte % group.size()];
                if (token == "RL" && line.size() > 2) continue;   // RL stands alone
                if (!reply.empty()) reply.push_back(' ');
                reply.append(token);
            }
            replies.push_back(std::move(reply));
        } else if (line.size() <= kMaxLiteral && literal_allowed(line)) {
            replies.emplace_back(line);
        }
        // Each RL replays the whole log again.
        if (!replies.empty() && replies.back() == "RL" && ++replays > kMaxReplays) replies.pop_back();
    }
    return replies;
}

bool& show_transcript() {
    static bool show = false;
    return show;
}

// Throws the transcript away (or copies it to standard error when
// ZEPH_FUZZ_TRANSCRIPT is set, to follow a reproducer) but remembers its last
// lines: the question being asked is among them.
class QuestionWatcher : public zeph::Presenter {
public:
    void transcript(std::string_view line) override {
        if (show_transcript()) std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
        recent_[next_] = std::string(line);
        next_ = (next_ + 1) % recent_.size();
    }
    bool asking(std::string_view prompt) const {
        for (const std::string& line : recent_)
            if (line == prompt) return true;
        return false;
    }

private:
    std::array<std::string, 3> recent_;   // question, current answer, default
    std::size_t next_ = 0;
};

bool is_vocabulary_number(std::string_view reply) {
    const std::string_view numbers[] = {"0", "1", "2", "3", "4", "5", "7", "8", "10", "16", "64", "100",
                                        "1000", "-1", "-2", "-100", "0.5", "1E30", "/", ""};
    for (std::string_view n : numbers)
        if (trimmed(reply) == n) return true;
    return false;
}

// The replies, one line at a time, as the headless front end reads them.
class ReplySource : public zeph::KeySource {
public:
    ReplySource(const std::vector<std::string>& replies, std::size_t& next, const QuestionWatcher& watcher,
                const fs::path& scratch, std::vector<std::string> preamble)
        : replies_(replies), next_(next), watcher_(watcher), scratch_(scratch), preamble_(std::move(preamble)) {}

    bool line_mode() const override { return true; }

    int read_key() override {
        if (pending_code_ >= 0) {
            const int code = pending_code_;
            pending_code_ = -1;
            return code;
        }
        const std::optional<std::string> line = read_line();
        if (!line) return zeph::kKeyEscape;
        const zeph::ConsoleKey key = zeph::key_from_reply_line(*line);
        if (!key.extended) return key.code;
        pending_code_ = key.code;
        return zeph::kKeyExtended;
    }

    int poll_key() override { return read_key(); }   // every reply is already there

    std::optional<std::string> read_line() override {
        // A file name with a directory part makes that directory current;
        // every later file stays in the scratch folder all the same.
        std::error_code error;
        if (fs::current_path(error) != scratch_) fs::current_path(scratch_, error);
        if (next_preamble_ < preamble_.size()) return preamble_[next_preamble_++];
        if (next_ >= replies_.size()) return std::nullopt;
        const std::string& reply = replies_[next_++];
        if (watcher_.asking(kAllocatePrompt) && !is_vocabulary_number(reply)) return std::string(kCapacity);
        return reply;
    }

private:
    const std::vector<std::string>& replies_;
    std::size_t& next_;
    const QuestionWatcher& watcher_;
    const fs::path& scratch_;
    std::vector<std::string> preamble_;
    std::size_t next_preamble_ = 0;
    int pending_code_ = -1;
};

fs::path& scratch_folder() {
    static fs::path folder;
    return folder;
}

fs::path& starting_folder() {
    static fs::path folder;
    return folder;
}

void remove_scratch_folder() {
    std::error_code error;
    fs::remove_all(scratch_folder(), error);
}

// A run ended by a crash or a timeout leaves its folder behind: the next run
// removes the folders of processes that are gone.
void remove_abandoned_folders(const fs::path& temporary) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(temporary, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kScratchPrefix)) continue;
        const long pid = std::strtol(name.c_str() + kScratchPrefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), error);
    }
}

void empty_scratch_folder(const fs::path& folder) {
    std::error_code error;
    fs::current_path(folder, error);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) fs::remove_all(entry.path(), error);
}

// One start of the program on the replies from `next` on; false when it could not start.
bool run_program(const std::vector<std::string>& replies, std::size_t& next, bool pause, bool replay) {
    using namespace zeph;
    const fs::path& scratch = scratch_folder();
    QuestionWatcher watcher;
    TextConsole console;
    console.set_presenter(&watcher);
    ReplySource keys(replies, next, watcher, scratch, {"AL", std::string(kCapacity)});
    Interpreter interpreter([] { return 0.0; });
    Session session(console, keys, interpreter);
    session.program_directory = scratch.string() + "/";
    // The plot window of a 640 x 480 desktop: every plot clears and saves the
    // whole canvas, and a full-size one would take most of the time.
    session.plot.window_width = 512;
    session.plot.window_height = 384;
    StartupArguments arguments;
    arguments.nopause = !pause;
    arguments.replay = replay;
    if (show_transcript()) std::fprintf(stderr, "== run%s\n", replay ? " (zeph RL)" : "");
    if (!start_session(session, arguments)) return false;
    run_command_loop(session);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Plots are drawn off screen: no window, whatever the environment says.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    show_transcript() = std::getenv("ZEPH_FUZZ_TRANSCRIPT") != nullptr;
    std::error_code error;
    starting_folder() = fs::current_path(error);
    const fs::path temporary = fs::temp_directory_path(error);
    remove_abandoned_folders(temporary);
    const fs::path folder = temporary / (std::string(kScratchPrefix) + std::to_string(::getpid()));
    fs::remove_all(folder, error);
    if (!fs::create_directory(folder, error)) std::abort();
    scratch_folder() = fs::canonical(folder);
    std::atexit(remove_scratch_folder);
    // A crash happens inside the scratch folder, which goes at exit: its
    // input is written where the fuzzer was started unless told otherwise.
    bool prefix_given = false;
    for (int i = 1; i < *argc; ++i) prefix_given |= std::string_view((*argv)[i]).starts_with("-artifact_prefix=");
    if (!prefix_given) {
        static std::string prefix = "-artifact_prefix=" + starting_folder().string() + "/";
        static std::vector<char*> arguments;
        arguments.assign(*argv, *argv + *argc);
        arguments.push_back(prefix.data());
        arguments.push_back(nullptr);
        *argc += 1;
        *argv = arguments.data();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    empty_scratch_folder(scratch_folder());
    bool pause = false;
    const std::vector<std::string> replies =
        decode_replies(std::string_view(reinterpret_cast<const char*>(data), size), pause);
    std::size_t next = 0;
    for (int run = 0; run < kMaxRuns && (run == 0 || next < replies.size()); ++run)
        if (!run_program(replies, next, pause, run > 0)) break;
    // The fuzzer writes its corpus and reports relative to where it started.
    std::error_code error;
    fs::current_path(starting_folder(), error);
    return 0;
}

// Undefined behaviour (a NaN cast to an index, an overflowing count) ends the
// run as a crash does, so that the fuzzer keeps the input.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
