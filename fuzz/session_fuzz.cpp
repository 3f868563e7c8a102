// libFuzzer target: the whole program, headless, in-process. Each input is a
// run of reply lines fed to the command loop as the headless front end feeds
// them; the transcript is thrown away. Every input starts afresh in the same
// scratch folder, which is also the program directory, so the reply log,
// ZEPH32.RL, STATS.TXT and every file the replies write land there.
//
// Input: lines separated by '\n', at most kMaxReplies of them, each the
// reply to whatever the program asks next.
//   - A line whose first byte is 0x80 or above is made of vocabulary tokens
//     drawn for the question being asked: the reply source looks at the
//     prompt block the program has just shown (or, for a key wait or the file
//     chooser, at the absence of one) and each byte after the first picks an
//     entry of the kind of reply that question takes:
//       command prompt: a function or a word that stands alone, then an
//         operation or parameter, then options ("AS EQ", "AS RE DI", "EN");
//       the equation grid: a point count, Xmin and dX ("3 0 1");
//       formulas and H(s): formulas joined by '+', many of them NaN or ±Inf
//         at a single point ("X+REAL((X-1)/(X-1))");
//       file names and the file chooser: names of files the replies write;
//       definitions of constants; word questions: answers;
//       a key wait: one key name; any other question: numbers and answers.
//     A byte means the same entry whenever the same question is asked, so a
//     mutation changes one reply and leaves the others alone.
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

#include <algorithm>
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
#include "shell/command_table.hpp"
#include "shell/startup.hpp"
#include "console/headless.hpp"
#include "console/key_source.hpp"
#include "console/text_console.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxReplies = 64;
constexpr std::size_t kMaxLiteral = 100;
constexpr int kMaxRuns = 3;
constexpr int kMaxReplays = 2;   // RL replies per input
constexpr std::string_view kCapacity = "4096";
constexpr std::string_view kScratchPrefix = "zeph-session-fuzz-";   // + the process id
constexpr std::string_view kAllocatePrompt = "Number of sample points to allocate memory for:";

// The vocabularies of token lines, one per kind of question. Appending
// entries keeps the token lines of a corpus meaning the same.
//
// Numbers: no count above 1000 (1E30 is refused).
constexpr std::string_view kNumbers[] = {
    "0", "1", "2", "3", "4", "5", "7", "8", "10", "16", "64", "100", "1000", "-1", "-2", "-100", "0.5", "-0.25",
    "1.5", "3.14159", "0.001", "1E30", "-1E30", "1E-30", ",", "/", "NPTS", "XMIN", "XMAX", "DX", "DT", "DF",
};
// The equation grid, one list per field: small counts, and starts and steps
// that put X = 0, 1 or 2 inside the grid, where the formulas below break.
constexpr std::string_view kGridCounts[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13",
                                            "14", "15", "16", "32", "100", "1000", "0", "-1"};
constexpr std::string_view kGridStarts[] = {"0", "1", "-1", ".5", "-2", "2", "-.5", "0.25", "XMIN", "/"};
constexpr std::string_view kGridSteps[] = {"1", ".5", "-1", "0", "2", ".25", "-.5", "1E-30", "DX", "/"};
// Formulas, many of them NaN or ±Inf at a single point (X = 0, 1 or 2) and
// finite elsewhere, some NaN or infinite everywhere.
constexpr std::string_view kFormulas[] = {
    "X", "A", "B", "A+B", "A*B", "X*X", "SIN(X)", "COS(2*PI*X/8)", "CMPLX(0,X)", "CMPLX(X,1)", "EXP(X)",
    "X+REAL((X-1)/(X-1))", "1/X", "-1/X", "LOG(X-X)", "(X-X)/(X-X)", "SQRT(-1)", "1E308*10", "RAND", "K*A+B",
    "S/(S+1)", "1/(S*S+S+1)", "ABS(A)", "REAL(A)", "IMAG(B)", "X+0/X", "X+0/(X-1)", "A/A", "B/B", "1/(X-1)",
    "LOG(X-1)", "SQRT(X-2)", "0/(X-1)", "(X-1)/(X-1)", "X/(X-2)", "LOG(X)", "X+REAL((X-2)/(X-2))", "EXP(1000*X)",
    "CMPLX(0/(X-1),X)", "CMPLX(X,1/(X-1))", "A+0/(X-1)", "1E300*X*X", "-X", "X-1", "X*0",
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
    "", "=CONSTANT", "=1/0", "S.FLAC", "S.OGG", "S.OPUS", "S.AIFF", "G.SVG", "G.PDF",
    // Audio files of every format the reader takes, put in the scratch folder before each input.
    "s.aifc", "s.au", "s.caf", "s.flac", "s.ogg", "s.opus", "s.rf64", "s.w64", "s16.wav", "s24.wav", "s4ch.wav",
    "s8.wav", "sf.wav",
};
// Where the audio files named above come from (the audio reader's seeds).
constexpr std::string_view kAudioLibrary = ZEPH_SOURCE_DIR "/fuzz/seeds/audio_fuzz";
// Keys for key waits; RL is taken at the command prompt.
constexpr std::string_view kKeys[] = {
    "", "<ESC>", "<ENTER>", "<LEFT>", "<RIGHT>", "<UP>", "<DOWN>", "<PGUP>", "<PGDN>", "<HOME>", "<END>",
    "<DEL>", "<CTRL-LEFT>", "<CTRL-RIGHT>", " ", "Q",
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

// The words of the program's command table by kind, in table order: the
// command prompt's vocabulary. SY is left out.
struct CommandVocabulary {
    std::vector<std::string_view> leading;    // functions, then the words that stand alone
    std::size_t functions = 0;                // how many of `leading` are functions
    std::vector<std::string_view> selecting;  // operations and parameters
    std::vector<std::string_view> options;
};

const CommandVocabulary& command_vocabulary() {
    static const CommandVocabulary vocabulary = [] {
        using zeph::WordKind;
        CommandVocabulary v;
        for (const zeph::CommandWord& w : zeph::command_words())
            if (w.kind == WordKind::function) v.leading.push_back(w.word);
        v.functions = v.leading.size();
        for (const zeph::CommandWord& w : zeph::command_words()) {
            if (w.word == "SY") continue;
            if (w.kind == WordKind::line_command || w.kind == WordKind::command || w.kind == WordKind::read)
                v.leading.push_back(w.word);
            else if (w.kind == WordKind::operation || w.kind == WordKind::parameter)
                v.selecting.push_back(w.word);
            else if (w.kind == WordKind::option)
                v.options.push_back(w.word);
        }
        return v;
    }();
    return vocabulary;
}

template <std::size_t N>
std::string_view pick(const std::string_view (&list)[N], unsigned char byte) {
    return list[byte % N];
}

std::string joined(std::span<const unsigned char> bytes, std::span<const std::string_view> list,
                   std::string_view separator) {
    std::string reply;
    for (const unsigned char byte : bytes) {
        if (!reply.empty()) reply.append(separator);
        reply.append(list[byte % list.size()]);
    }
    return reply;
}

// A command line: a leading word; after a function an operation or
// parameter and options, each option byte's high bit asking for its NO-form.
std::string command_reply(std::span<const unsigned char> bytes) {
    const CommandVocabulary& v = command_vocabulary();
    if (bytes.empty()) return {};
    const std::size_t first = bytes[0] % v.leading.size();
    std::string reply(v.leading[first]);
    if (reply == "RL") return bytes.size() == 1 ? reply : std::string();   // RL stands alone
    if (first >= v.functions || bytes.size() < 2) return reply;
    reply += ' ';
    reply += v.selecting[bytes[1] % v.selecting.size()];
    for (const unsigned char byte : bytes.subspan(2)) {
        reply += byte & 0x80 ? " NO" : " ";
        reply += v.options[byte % v.options.size()];
    }
    return reply;
}

// The kinds of question a reply answers, told by the prompt shown.
enum class Question { command, allocation, grid, formula, definition, file, words, other, chooser };

Question question_of(std::string_view prompt) {
    const auto has = [prompt](std::string_view part) { return prompt.find(part) != std::string_view::npos; };
    if (prompt == "Enter command...") return Question::command;
    if (prompt == kAllocatePrompt) return Question::allocation;
    if (prompt.starts_with("Enter   # sample points")) return Question::grid;
    if (has("Enter F.") || has("transfer function")) return Question::formula;
    if (prompt.starts_with("Ex: Z=")) return Question::definition;
    if (has("file name") || has("filename")) return Question::file;
    if (prompt.starts_with("Filter type") || prompt.starts_with("LPF or BPF") || prompt.starts_with("Format") ||
        prompt.starts_with("Type:") || has("!=blank") || has("XValues or SAmple"))
        return Question::words;
    return Question::other;
}

// The reply a token line stands for at a question of kind `question`.
std::string token_reply(Question question, std::span<const unsigned char> bytes) {
    switch (question) {
    case Question::command: return command_reply(bytes);
    case Question::allocation: return bytes.empty() ? std::string() : std::string(pick(kGridCounts, bytes[0]));
    case Question::grid: {
        std::string reply;
        const std::span<const std::string_view> fields[] = {kGridCounts, kGridStarts, kGridSteps};
        for (std::size_t k = 0; k < bytes.size() && k < 3; ++k) {
            if (k > 0) reply += ' ';
            reply.append(fields[k][bytes[k] % fields[k].size()]);
        }
        return reply;
    }
    case Question::formula: return joined(bytes, kFormulas, "+");
    case Question::definition: return joined(bytes, kDefinitions, ",");
    case Question::file:
    case Question::chooser: return bytes.empty() ? std::string() : std::string(pick(kFileNames, bytes[0]));
    case Question::words: return joined(bytes, kAnswers, " ");
    case Question::other: {
        // Numbers, or (with the high bit) answers.
        std::string reply;
        for (const unsigned char byte : bytes) {
            if (!reply.empty()) reply += ' ';
            reply += byte & 0x80 ? pick(kAnswers, byte) : pick(kNumbers, byte);
        }
        return reply;
    }
    }
    return {};
}

// The reply lines of one input, still undecoded.
std::vector<std::string_view> split_replies(std::string_view input, bool& pause) {
    std::vector<std::string_view> lines;
    pause = false;
    bool first = true;
    while (!input.empty() && lines.size() < kMaxReplies) {
        const std::size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
        if (first && line == "PAUSE") pause = true;
        else lines.push_back(line);
        first = false;
    }
    return lines;
}

bool is_token_line(std::string_view line) {
    return !line.empty() && static_cast<unsigned char>(line.front()) >= 0x80;
}

bool& show_transcript() {
    static bool show = false;
    return show;
}

// Throws the transcript away (or copies it to standard error when
// ZEPH_FUZZ_TRANSCRIPT is set, to follow a reproducer) but remembers what
// the program last asked: a prompt block ends with its question, the
// current values ("/...") and the default ("<Enter>...").
class QuestionWatcher : public zeph::Presenter {
public:
    void transcript(std::string_view line) override {
        if (show_transcript()) std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
        recent_[next_] = std::string(line);
        next_ = (next_ + 1) % recent_.size();
        fresh_ = std::min<std::size_t>(fresh_ + 1, recent_.size());
    }
    // The question a reply read now answers; a read with no new prompt
    // block is the headless file chooser's.
    Question question() const {
        const auto line = [this](std::size_t back) -> const std::string& {
            return recent_[(next_ + recent_.size() - back) % recent_.size()];
        };
        if (fresh_ < 3 || !line(1).starts_with("<Enter>") || !line(2).starts_with("/")) return Question::chooser;
        return question_of(line(3));
    }
    // A reply was taken: the block shown is answered.
    void answered() { fresh_ = 0; }

private:
    std::array<std::string, 4> recent_;   // ..., question, current values, default
    std::size_t next_ = 0;
    std::size_t fresh_ = 0;   // lines since the last reply
};

bool is_plain_count(std::string_view reply) {
    for (std::string_view n : kGridCounts)
        if (trimmed(reply) == n) return true;
    return trimmed(reply).empty() || trimmed(reply) == "/";
}

// The replies, one line at a time, as the headless front end reads them.
class ReplySource : public zeph::KeySource {
public:
    ReplySource(const std::vector<std::string_view>& lines, std::size_t& next, int& replays,
                QuestionWatcher& watcher, const fs::path& scratch, std::vector<std::string> preamble)
        : lines_(lines), next_(next), replays_(replays), watcher_(watcher), scratch_(scratch),
          preamble_(std::move(preamble)) {}

    bool line_mode() const override { return true; }

    int read_key() override {
        if (pending_code_ >= 0) {
            const int code = pending_code_;
            pending_code_ = -1;
            return code;
        }
        const std::optional<std::string> line = next_reply(true);
        if (!line) return zeph::kKeyEscape;
        const zeph::ConsoleKey key = zeph::key_from_reply_line(*line);
        if (!key.extended) return key.code;
        pending_code_ = key.code;
        return zeph::kKeyExtended;
    }

    // Replies are all there from the start: a key is always waiting.
    int poll_key() override { return read_key(); }

    std::optional<std::string> read_line() override { return next_reply(false); }

private:
    std::optional<std::string> next_reply(bool key_wait) {
        // A file name with a directory part makes that directory current;
        // every later file stays in the scratch folder all the same.
        std::error_code error;
        if (fs::current_path(error) != scratch_) fs::current_path(scratch_, error);
        const Question question = key_wait ? Question::other : watcher_.question();
        watcher_.answered();
        if (next_preamble_ < preamble_.size()) return preamble_[next_preamble_++];
        while (next_ < lines_.size()) {
            const std::string_view line = lines_[next_++];
            std::string reply;
            if (is_token_line(line)) {
                const auto bytes = std::span(reinterpret_cast<const unsigned char*>(line.data()) + 1, line.size() - 1);
                reply = key_wait ? (bytes.empty() ? std::string() : std::string(pick(kKeys, bytes[0])))
                                 : token_reply(question, bytes);
            } else if (line.size() <= kMaxLiteral && literal_allowed(line)) {
                reply = std::string(line);
            } else {
                continue;
            }
            // Each RL replays the whole log again.
            if (reply == "RL" && ++replays_ > kMaxReplays) continue;
            if (question == Question::allocation && !is_plain_count(reply)) return std::string(kCapacity);
            return reply;
        }
        return std::nullopt;
    }

    const std::vector<std::string_view>& lines_;
    std::size_t& next_;
    int& replays_;
    QuestionWatcher& watcher_;
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

// Empties the folder and puts the audio files of every format in it, so that
// reads of each format are a reply away.
void empty_scratch_folder(const fs::path& folder) {
    std::error_code error;
    fs::current_path(folder, error);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) fs::remove_all(entry.path(), error);
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(kAudioLibrary), error))
        if (entry.path().filename().string().starts_with("s")) fs::copy_file(entry.path(), folder / entry.path().filename(), error);
}

// One start of the program on the replies from `next` on; false when it could not start.
bool run_program(const std::vector<std::string_view>& lines, std::size_t& next, int& replays, bool pause,
                 bool replay) {
    using namespace zeph;
    const fs::path& scratch = scratch_folder();
    QuestionWatcher watcher;
    TextConsole console;
    console.set_presenter(&watcher);
    ReplySource keys(lines, next, replays, watcher, scratch, {"AL", std::string(kCapacity)});
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
    ::setenv("ZEPH_AUDIO", "none", 1);   // AU and RC would play and record for seconds
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
    const std::vector<std::string_view> lines =
        split_replies(std::string_view(reinterpret_cast<const char*>(data), size), pause);
    std::size_t next = 0;
    int replays = 0;
    for (int run = 0; run < kMaxRuns && (run == 0 || next < lines.size()); ++run)
        if (!run_program(lines, next, replays, pause, run > 0)) break;
    // The fuzzer writes its corpus and reports relative to where it started.
    std::error_code error;
    fs::current_path(starting_folder(), error);
    return 0;
}

// Undefined behaviour (a NaN cast to an index, an overflowing count) ends the
// run as a crash does, so that the fuzzer keeps the input.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
