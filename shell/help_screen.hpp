#pragma once
// The help screen: 44 rows above the prompt block listing every command word,
// with a marker (») beside the words of the current selection.
#include <cstdint>
#include <string>

#include "shell/workspace.hpp"
#include "console/text_console.hpp"

namespace zeph {

inline constexpr int kHelpRows = 44;
inline constexpr char32_t kHelpMarker = U'\u00BB';   // »

inline constexpr std::uint8_t kHelpTypedAttribute = 0x71;    // letters a user types
inline constexpr std::uint8_t kHelpEntryAttribute = 0x70;    // rest of an entry
inline constexpr std::uint8_t kHelpMarkerAttribute = 0x7E;   // cell before an entry
inline constexpr std::uint8_t kHelpHeadingAttribute = 0x7B;  // title and headings
inline constexpr std::uint8_t kHelpOtherAttribute = 0x78;    // everything else

// Flags of the help screen that are not part of the selection.
struct HelpState {
    bool read_range_set = false;   // SE marker
    std::string written_note;      // what the last output wrote; shown until the next command line
};

// Tells what an output wrote ("Wrote out.wav: 4096 values"): on a blank row
// of the help screen and in the headless transcript.
void note_written(TextConsole& console, HelpState& state, std::string_view file_name, std::string_view detail);

// Writes the 44 rows with their attributes and the markers of the selection.
void draw_help_screen(TextConsole& console, const Workspace& workspace, const HelpState& state);

}  // namespace zeph
