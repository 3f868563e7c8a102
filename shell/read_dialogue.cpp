#include "base/text.hpp"
#include "base/utf8.hpp"
#include "shell/read_dialogue.hpp"

#include "base/numbers.hpp"
#include "shell/messages.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "fileio/signal_reader.hpp"
#include "shell/command_words.hpp"
#include "shell/file_chooser.hpp"
#include "shell/startup.hpp"

namespace zeph {

namespace {
constexpr std::string_view kTooManyPoints = "Error. Maximum =";
constexpr std::string_view kStepPromptIndependent = "Enter DX:";
constexpr std::string_view kStepPromptTime = "Enter DT:";
constexpr std::string_view kStepPromptFrequency = "Enter DF:";
constexpr std::string_view kConstantDefault = "1., 0.";
constexpr std::string_view kKeepCurrent = "/";
constexpr std::string_view kConstantKeyword = "=CONSTANT";
constexpr std::string_view kConstantShownName = "CONSTANT";
constexpr std::string_view kTimeDomainTitle = "Time domain function: ";
constexpr std::string_view kFrequencyDomainTitle = "Freq domain function: ";
constexpr std::string_view kSamplesWord = " Samples";
constexpr std::size_t kShownNameLength = 20;
constexpr std::size_t kIndependentCountColumn = 40;   // N stands in columns 40..49

struct ReadTarget {
    Domain domain = Domain::time;
    SignalMode mode = SignalMode::linked;
};

struct ConstantSignal {
    int count = 0;
    double step = 1.0;
    Complex value;
};

// The command word decides the mode; RT/RA or RF/RB anywhere on the line the
// target. A repeated (blank) line has no read word in its option scan, so
// the command word decides the target too.
std::optional<ReadTarget> read_target(const Workspace& workspace) {
    const Selection& selection = workspace.selection;
    const CommandWord* word = selection.read;
    ReadTarget target;
    target.mode = word != nullptr ? word->mode : workspace.signal_mode;
    if (selection.read_into) target.domain = *selection.read_into;
    else if (word != nullptr) target.domain = word->domain;
    else return std::nullopt;
    return target;
}

// Before the questions: a linked read replaces both domains, so the
// selection that showed them and their flags go.
void prepare_for_read(Workspace& workspace, SignalMode mode) {
    workspace.signal_mode = mode;
    if (mode == SignalMode::linked) {
        reset_selection(workspace);
        workspace.options.LA = 0;
        for (const Domain domain : kDomains) workspace.slot(domain).present = false;
    }
    workspace.selection.cache_valid = false;
    workspace.real_name_shown.clear();
    workspace.imag_name_shown.clear();
    workspace.status_line = capacity_status_line(workspace.max_points);
}

// A reply with a directory part makes that directory current and leaves the
// name; later relative names resolve against it. When the directory cannot
// be entered the whole path is kept, so the reader names what it missed.
std::string enter_directory_of(std::string_view reply) {
    std::string directory, name;
    split_path(reply, directory, name);
    if (directory.empty()) return name;
    std::error_code error;
    std::filesystem::current_path(directory, error);
    if (!error) return name;
    std::string path(reply);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// One file-name question; "*" opens the chooser, whose answer is logged as
// if it had been typed, so that a replay reads the same file. False on Esc.
bool ask_file_name(Session& session, std::string_view prompt, std::string& file_name) {
    std::string reply = file_name;
    if (!session.ask_text(prompt, {}, reply)) return false;
    if (!reply.empty() && reply.front() == '*') {
        reply = choose_file(session);
        session.input.log.append(format_reply_record(reply, prompt));
        if (session.input.end_requested) return false;
    }
    file_name = reply.empty() ? std::string{} : enter_directory_of(reply);
    return true;
}

// The two name questions, again while both names are blank. False on Esc.
bool ask_file_names(Session& session) {
    Workspace& workspace = session.workspace;
    for (;;) {
        if (!ask_file_name(session, kRealNamePrompt, workspace.real_file_name)) return false;
        if (!ask_file_name(session, kImagNamePrompt, workspace.imag_file_name)) return false;
        if (!workspace.real_file_name.empty() || !workspace.imag_file_name.empty()) return true;
        workspace.message_line = kNoFileNameEntered;
    }
}

bool is_constant_request(std::string_view real_file_name) {
    return upper_case(real_file_name).starts_with(kConstantKeyword);
}

int current_count(const Workspace& workspace, const ReadTarget& target) {
    if (target.mode == SignalMode::linked) return workspace.linked_npts;
    return workspace.slot(target.domain).npts;
}

std::string too_many_points_message(int max_points) {
    char text[16];
    std::snprintf(text, sizeof text, "%6d", max_points);
    return std::string(kTooManyPoints) + text;
}

// Asks for the point count until it fits the storage. Nothing on Esc.
std::optional<int> ask_point_count(Session& session, const ReadTarget& target) {
    Workspace& workspace = session.workspace;
    PromptRequest request{.title = workspace.status_line, .prompt = kPointCountPrompt,
                          .default_reply = kKeepCurrent, .mode = 'N', .value_count = 1,
                          .values = {static_cast<double>(current_count(workspace, target)), 0, 0, 0}};
    for (;;) {
        if (!session.ask(request)) return std::nullopt;
        const double rounded = std::round(request.values[0]);
        if (rounded > workspace.max_points) {
            workspace.message_line = too_many_points_message(workspace.max_points);
        } else if (!(rounded >= 1)) {   // also NaN
            workspace.message_line = kTooFewPoints;
        } else {
            return static_cast<int>(rounded);
        }
    }
}

std::optional<double> ask_step(Session& session, const ReadTarget& target) {
    Workspace& workspace = session.workspace;
    std::string_view prompt = kStepPromptIndependent;
    double offered = 0.0;
    if (target.mode == SignalMode::linked) {
        prompt = target.domain == Domain::frequency ? kStepPromptFrequency : kStepPromptTime;
        offered = workspace.slot(target.domain).dx;
    }
    std::array<double, 4> step{offered, 0, 0, 0};
    if (!session.ask_numbers(prompt, kKeepCurrent, step, 1)) return std::nullopt;
    return step[0];
}

std::optional<ConstantSignal> ask_constant(Session& session, const ReadTarget& target) {
    ConstantSignal constant;
    const std::optional<int> count = ask_point_count(session, target);
    if (!count) return std::nullopt;
    const std::optional<double> step = ask_step(session, target);
    if (!step) return std::nullopt;
    PromptRequest value{.title = session.workspace.status_line, .prompt = kConstantValuePrompt,
                        .default_reply = kConstantDefault, .mode = 'N', .value_count = 2, .values = {1.0, 0.0, 0, 0}};
    if (!session.ask(value)) return std::nullopt;
    constant.count = *count;
    // A step that is not a positive number would give an empty abscissa
    // range and, linked, an infinite step in the other domain; it becomes 1
    // with the reader's notice, shown at the next prompt.
    constant.step = *step;
    if (!(std::isfinite(*step) && *step > 0.0 && has_finite_reciprocal_span(*count, *step))) {
        constant.step = 1.0;
        session.workspace.message_line = kDxNotPositive;
    }
    constant.value = Complex{value.values[0], value.values[1]};
    return constant;
}

// The first characters of the name after its directory part.
std::string shown_name(std::string_view file_name) {
    const auto last = file_name.find_last_of("/\\");
    const std::string_view name = last == std::string_view::npos ? file_name : file_name.substr(last + 1);
    return std::string(first_characters(name, kShownNameLength));
}

// Puts the samples into the target and sets its grid, flag and origin;
// linked, the other domain's grid follows from the transform relation
// DF = 1/(N·DT): the waveform starts at 0, the spectrum is centred.
void commit_signal(Workspace& workspace, const ReadTarget& target, std::span<const Complex> samples, double xmin,
                   double dx, SignalOrigin origin) {
    const int n = static_cast<int>(samples.size());
    std::copy(samples.begin(), samples.end(), workspace.samples(target.domain));
    SignalSlot& slot = workspace.slot(target.domain);
    slot.xmin = xmin;
    slot.dx = dx;
    slot.npts = n;
    slot.present = true;
    workspace.record_change(target.domain, origin);
    if (target.mode == SignalMode::linked) {
        SignalSlot& other = workspace.slot(other_domain(target.domain));
        const double half = static_cast<double>(n / 2);   // N/2 rounded toward zero
        other.dx = 1.0 / (n * slot.dx);
        other.xmin = target.domain == Domain::frequency ? 0.0 : -half * other.dx;
    }
    workspace.linked_npts = n;
}

// Fills the target with the constant. False on Esc (nothing changed).
bool read_constant(Session& session, const ReadTarget& target) {
    Workspace& workspace = session.workspace;
    const std::optional<ConstantSignal> constant = ask_constant(session, target);
    if (!constant) return false;
    workspace.real_name_shown = kConstantShownName;
    workspace.imag_name_shown.clear();
    const std::vector<Complex> samples(static_cast<std::size_t>(constant->count), constant->value);
    const bool centred = target.domain == Domain::frequency && target.mode == SignalMode::linked;
    const double xmin = centred ? -static_cast<double>(constant->count / 2) * constant->step : 0.0;
    commit_signal(workspace, target, samples, xmin, constant->step, SignalOrigin::constant);
    return true;
}

// Reads the named files. False when the reader failed (its message is set).
bool read_files(Workspace& workspace, const ReadTarget& target) {
    workspace.real_name_shown = shown_name(workspace.real_file_name);
    workspace.imag_name_shown = shown_name(workspace.imag_file_name);
    const int capacity = std::min(workspace.read_max, workspace.max_points);
    const ReadRange range{.first = workspace.read_first, .interval = workspace.read_interval,
                          .max_count = capacity};
    SignalRead read = read_signal(workspace.real_file_name, workspace.imag_file_name, range);
    if (read.status.ok && read.samples.empty()) {
        const std::string& name = workspace.real_file_name.empty() ? workspace.imag_file_name
                                                                   : workspace.real_file_name;
        read.status = Status::failure(message_with_name(kNoSamples, name));
    }
    workspace.message_line = read.status.message;
    if (!read.status.ok) return false;
    // Stopped by the storage, not by a maximum of the user's (SE below M): say so.
    if (read.samples.size() == static_cast<std::size_t>(workspace.max_points) && read.available > read.samples.size()) {
        const std::string limit = limit_notice(read.samples.size(), read.available);
        workspace.message_line = read.status.message.empty() ? limit : read.status.message + "; " + limit;
    }
    if (read.samples.size() > static_cast<std::size_t>(std::max(capacity, 0)))
        read.samples.resize(static_cast<std::size_t>(std::max(capacity, 0)));
    commit_signal(workspace, target, read.samples, read.xmin, read.dx, SignalOrigin::file);
    keep_read_storage(std::move(read.samples));
    return true;
}

std::string count_text(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d", n);
    return text;
}

}  // namespace

std::string limit_notice(std::size_t kept, std::size_t available) {
    return "Read " + std::to_string(kept) + " of " + std::to_string(available) + " samples: the limit. AL " +
           std::to_string(available) + " raises it.";
}

std::string read_status_line(const Workspace& workspace, SignalMode mode, Domain domain, int n) {
    std::string line;
    if (mode == SignalMode::independent) {
        line = std::string("Signal ") + signal_letter(domain) + ":";
        line.resize(kIndependentCountColumn - 1, ' ');
    } else {
        line = std::string(domain == Domain::frequency ? kFrequencyDomainTitle : kTimeDomainTitle) + signal_name_part(workspace) + " ";
    }
    return line + count_text(n) + std::string(kSamplesWord);
}

void store_in_a(Session& session, SignalMode mode, std::span<const Complex> samples, double dx,
                std::string_view real_name, std::string_view imag_name) {
    Workspace& workspace = session.workspace;
    const ReadTarget target{.domain = Domain::time, .mode = mode};
    prepare_for_read(workspace, mode);
    if (mode == SignalMode::linked) reset_scale_factors(session.plot);
    workspace.real_name_shown = first_characters(real_name, kShownNameLength);
    workspace.imag_name_shown = first_characters(imag_name, kShownNameLength);
    commit_signal(workspace, target, samples, 0.0, dx, SignalOrigin::file);
    std::string line = read_status_line(workspace, mode, Domain::time, static_cast<int>(samples.size()));
    // Independent mode names a recording between "Signal A:" and the count,
    // which stays in its columns.
    if (mode == SignalMode::independent) {
        const std::string name = "Signal A: " + signal_name_part(workspace);
        const std::size_t room = kIndependentCountColumn - 2;
        line.replace(0, std::min(name.size(), room), name, 0, room);
    }
    workspace.status_line = line;
}

void read_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    const std::optional<ReadTarget> target = read_target(workspace);
    if (!target) {
        workspace.message_line = kMissingParameters;
        return;
    }
    prepare_for_read(workspace, target->mode);
    if (target->mode == SignalMode::linked) reset_scale_factors(session.plot);
    if (!ask_file_names(session)) return;

    if (is_constant_request(workspace.real_file_name)) {
        if (!read_constant(session, *target)) return;
    } else if (!read_files(workspace, *target)) {
        reset_selection(session);
        return;
    }
    if (target->mode == SignalMode::independent) {
        workspace.real_name_shown.clear();
        workspace.imag_name_shown.clear();
    }
    const int n = workspace.slot(target->domain).npts;
    workspace.status_line = read_status_line(workspace, target->mode, target->domain, n);
}

}  // namespace zeph
