#pragma once
// The state of one run: the storage of signals A and B, their slots (grid,
// the flag that says whether it holds data, where it came from), the read range, the file names,
// the texts every prompt shows, and the selection of the command line.
#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "base/zeroed_allocator.hpp"
#include "dsp/fft.hpp"
#include "dsp/spectral_density.hpp"
#include "dsp/windows.hpp"
#include "shell/command_table.hpp"
#include "base/signal_grid.hpp"

namespace zeph {

inline constexpr int kInitialMaxPoints = 32768;

// What the command words of the lines so far have selected: rows of the
// command table (nullptr: none).
struct Selection {
    const CommandWord* function = nullptr;    // WA, SP, AS or BS: its domain is the current signal's
    const CommandWord* parameter = nullptr;   // what a display shows
    const CommandWord* operation = nullptr;   // the line's operation
    const CommandWord* read = nullptr;        // the read word last used, for its help marker
    bool read_word = false;                   // a read word was the command word
    std::optional<Domain> read_into;          // the signal a read word anywhere on the line picked
    std::set<const CommandWord*> operation_markers;   // operations seen since start-up or the last RT/RF
    bool cache_valid = false;                 // the previous derivation may be reused
};

// The 20-character label of the selected parameter; empty without one.
std::string parameter_label(const Selection& selection);
// Whether the selected parameter's result is XY pairs.
bool is_xy(const Selection& selection);
// The selected parameter's dB form (none without a parameter).
DbForm decibel_form(const Selection& selection);

// What the display pipeline derived for the output stages: the values are
// work_y[0 .. display_count) (and work_x for XY) on the abscissa
// xmin + k*dx, with their titles and labels.
struct DisplayState {
    int display_count = 0;
    double xmin = 0.0, dx = 1.0;
    std::string title;            // plot title
    std::string listing_heading;  // first row of a listing page
    std::string x_label, y_label;
    std::string list_x_heading, list_y_heading;
    double reference_power = 0.0, reference_level = -770.0;   // [dB] level of the reference power
    int averaging_length = 1;     // L of the moving average, 1 without AV
    // A notice of the derivation (WP's and SG's segments holding NaN) that
    // stays on the message line beside the plot's own note.
    std::string derivation_notice;
};

// The answers of the display's own questions, offered again at the next display.
struct DisplayAnswers {
    double regression_x1 = 0.0, regression_x2 = 0.0;   // DD, RD fit range
    double sum_a = 1.0, sum_b = -1.0;                   // SU weights
    double divisions = 50;                              // DI, kept even when refused
    std::string list_range = "XMIN XMAX";               // LI reply text
    std::string cumulative_range = "XMIN, XMAX";        // CU reply text
    double averaging_time = 0.0;                        // AV span [s] for a waveform
    double averaging_bandwidth = 0.0;                   // AV span [Hz] for a spectrum
    // The signal and parameter of the last derivation, while it may be reused.
    std::optional<Domain> cached_domain;
    const CommandWord* cached_parameter = nullptr;
};

// The answers that the file-output, read and export dialogues offer again.
struct FileAnswers {
    std::string output_file_name;   // FI
    std::string output_format;      // FI: R8, R4, I2, 1C, 2C
    std::string wav_channels;       // FI: MO or ST
};

// The segment questions of WP and SG, offered again at the next display.
struct SegmentAnswers {
    SegmentParameters parameters{.length = 1024, .overlap = 512,
                                 .window = {.kind = SegmentWindowKind::hann, .kaiser_beta = kDefaultKaiserBeta}};
    std::string window_letter = "S";   // S, R or K
};

// What made a slot's samples.
enum class SignalOrigin {
    none,        // nothing since the storage was allocated
    file,        // read from a file (RT, RF, RA, RB, the command line)
    constant,    // read as =CONSTANT
    equation,    // EQ
    operation,   // AD, MU, an operation on the signal, AC, CV, XC, SW, A=, B=
    transform,   // made from the other domain by the transform (CR, linked display)
};

// One signal's grid and record. The abscissa of sample k is xmin + k*dx:
// seconds for A (Tmin, DT), hertz for B (Fmin, DF). npts is the slot's own
// count, used in independent mode; linked mode uses Workspace::linked_npts.
struct SignalSlot : Grid {
    bool present = false;
    SignalOrigin origin = SignalOrigin::none;
    // Bumped whenever the samples change, so a later reader can tell whether
    // a signal is still the one it saw.
    unsigned generation = 0;
    // For origin transform: the other slot's generation it was made from.
    unsigned source_generation = 0;
};

struct Workspace {
    // Sample storage: signal A in [0, max_points), signal B in [max_points, 2*max_points).
    int max_points = 0;
    std::vector<Complex, ZeroedAllocator<Complex>> sample_store;
    std::vector<double, ZeroedAllocator<double>> work_x, work_y;
    // The transform's tables for the current point count.
    BitReverseTable transform_table;

    // Grids and flags of A (time) and B (frequency), indexed by Domain.
    std::array<SignalSlot, 2> slots;
    SignalMode signal_mode = SignalMode::linked;
    // The point count shared by both domains in linked mode: the count left
    // by the last read, transform or operation.
    int linked_npts = 0;

    // Read range (SE).
    int read_first = 1, read_interval = 1, read_max = kInitialMaxPoints;

    // Texts.
    std::string real_file_name, imag_file_name;
    std::string real_name_shown, imag_name_shown;
    std::string status_line;
    std::string message_line;

    Selection selection;
    OptionSet options;
    DisplayState display;
    DisplayAnswers display_answers;
    FileAnswers files;
    SegmentAnswers segments;
    // The matrix of the last SG display.
    Spectrogram spectrogram;

    Complex* signal_a() { return sample_store.data(); }
    Complex* signal_b() { return sample_store.data() + max_points; }
    const Complex* signal_a() const { return sample_store.data(); }
    const Complex* signal_b() const { return sample_store.data() + max_points; }

    SignalSlot& slot(Domain domain) { return slots[static_cast<std::size_t>(domain)]; }
    const SignalSlot& slot(Domain domain) const { return slots[static_cast<std::size_t>(domain)]; }
    // The first of the domain's max_points samples.
    Complex* samples(Domain domain) { return domain == Domain::time ? signal_a() : signal_b(); }
    const Complex* samples(Domain domain) const { return domain == Domain::time ? signal_a() : signal_b(); }
    // The count a command uses for the domain: the linked count in linked
    // mode, the slot's own in independent mode. Not limited to the storage.
    int count(Domain domain) const {
        return signal_mode == SignalMode::linked ? linked_npts : slot(domain).npts;
    }
    // The domain of the current function: B for SP and BS, A otherwise.
    Domain current_domain() const { return selection.function ? selection.function->domain : Domain::time; }
    // Notes that the domain's samples were replaced or changed by `origin`.
    void record_change(Domain domain, SignalOrigin origin) {
        SignalSlot& changed = slot(domain);
        changed.origin = origin;
        ++changed.generation;
        changed.source_generation = origin == SignalOrigin::transform ? slot(other_domain(domain)).generation : 0;
    }
};

// The current signal: the one of the function of the selection (B for SP
// and BS, A otherwise), with its grid and all of its storage (max_points
// values, so an operation may lengthen it). In linked mode both domains share
// the count.
SignalRef current_signal(Workspace& workspace);

// Switches off the options that last one display (AV, DI, CU, DB, SC),
// forgets the cached derivation, blanks the function and parameter and
// returns to linked mode: after operations, reads, CR, SE and AL.
void reset_selection(Workspace& workspace);

// The names of the signal's files as the status line and titles show them:
// the real-part name, a four-character joiner ("0+j0", " +j ", ",+j0" or
// ",+j "), the imaginary-part name; each name trimmed to at most 17 characters.
std::string signal_name_part(const Workspace& workspace);

// The status line that shows the capacity.
std::string capacity_status_line(int max_points);

// Allocates storage for `requested` points (rounded up to even). The new
// storage is allocated before the old is released: on failure the workspace
// is unchanged and the status carries the "Unable to allocate memory for"
// message. On success both signals are absent.
Status allocate_storage(Workspace& workspace, long long requested);

// The transform tables, about to serve a transform of n points (0: a count
// not known beforehand). When they do not hold n yet they will be filled:
// the storage kept from the last read is let go first, so that the two
// together never hold more memory than a read followed by a transform did.
BitReverseTable& tables_for_transform(Workspace& workspace, long long n);

// The message of a failed allocation: n in 8 columns (in E form when it is
// not a whole number below 9E15).
std::string allocation_failure_message(double requested);

}  // namespace zeph
