#pragma once
// The operations of a command line. WI, LT, CS, CH, DX, IX and FF work on
// the current signal; AC, CV, XC, SW, A= and B= see both signals (the
// command table says which). The command loop calls them after the data
// check and the definition of the grid variables, and afterwards stores the
// grid back, updates the status line, invalidates the other domain in linked
// mode and resets the selection (see run_signal_operation in command_loop.cpp).
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "base/complex.hpp"
#include "base/numbers.hpp"
#include "base/text.hpp"
#include "shell/session.hpp"

namespace zeph {

// Each operation on the current signal (WI .. FF) is a dialogue
// `bool name(Session&, SignalRef&)` given the workspace's current_signal: it
// changes npts, xmin and dx in place. On failure or Esc the message line
// tells why (blank after Esc) and the signal is unchanged; it returns true
// when the signal was changed. The operations on both signals (AC .. B=) are
// `void name(Session&)`; failures go to the message line.

// --- shared by the operation dialogues ---


// A text reply without trailing blanks, letters a..z raised to capitals.
std::string upper_trimmed(std::string_view reply);

// The first character of a reply, raised to a capital; blank for an empty reply.
char first_letter(std::string_view reply);

// A text question offering the kept answer as its current values and its
// default reply. `kept` must outlive the question: the default is a view of it.
PromptRequest kept_answer_question(const Session& session, std::string_view prompt, std::string_view kept);

// Asks `count` numbers offering the kept `values` as the current values and,
// as their text, the default reply (Enter keeps them). On success the first
// `count` values are replaced; false on Esc.
bool ask_kept_values(Session& session, std::string_view prompt, std::array<double, 4>& values, int count);

}  // namespace zeph
