#pragma once
// RT, RF, RA and RB: fill signal A or B from one or two sample files, or with
// a constant value.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kRealNamePrompt = "[REAL filename] [=CONSTANT] [*]:";
inline constexpr std::string_view kImagNamePrompt = "[IMAG filename] [*]:";
inline constexpr std::string_view kNoFileNameEntered = "Error. No filename entered.";
inline constexpr std::string_view kPointCountPrompt = "How many sample points?";
inline constexpr std::string_view kConstantValuePrompt = "Enter REAL, IMAG values of the constant";

// The read dialogue of a line whose command word is RT, RF, RA or RB. The
// word decides the mode (RT, RF linked; RA, RB independent); RT or RA on the
// line reads into A, RF or RB into B (the later word wins). The samples are
// read into scratch storage: the target signal, its grid and its flag change
// only when the read succeeds.
void read_dialogue(Session& session);

// Puts samples made by the program (a recording) into A, as a read in `mode`
// would: linked, B is out of date; XMIN = 0, DX = dx; `name` is shown in the
// title.
void store_in_a(Session& session, SignalMode mode, std::span<const Complex> samples, double dx,
                std::string_view real_name, std::string_view imag_name);

// "Read N of M samples: the limit. AL M raises it.": samples left out for lack of storage.
std::string limit_notice(std::size_t kept, std::size_t available);

// The status line describing a read of n points into A or B, with the
// workspace's shown names in linked mode.
std::string read_status_line(const Workspace& workspace, SignalMode mode, Domain domain, int n);

}  // namespace zeph
