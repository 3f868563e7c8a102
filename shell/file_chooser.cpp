#include "base/text.hpp"
#include "base/utf8.hpp"
#include "shell/file_chooser.hpp"

#include <algorithm>
#include <array>
#include <system_error>

namespace zeph {

namespace {
constexpr std::string_view kChooserTitle = " Open file";
constexpr std::string_view kLookIn = " Look in: ";
constexpr std::string_view kFilesOfType = " Files of type: ";
constexpr std::string_view kTabHint = "   (Tab switches)";
constexpr std::string_view kChooserKeys =
    " Arrows, PgUp, PgDn: move   Enter: open directory or pick file   Esc: cancel";
constexpr std::string_view kParentDirectory = "..";

constexpr int kTitleLine = 1, kDirectoryLine = 2, kFilterLine = 3, kKeysLine = kChooserLastRow;
constexpr int kFirstListRow = 5, kLastListRow = 42;
constexpr int kListRows = kLastListRow - kFirstListRow + 1;
constexpr int kTab = 9;

constexpr std::uint8_t kHeadingAttribute = 0x71;    // blue on light grey
constexpr std::uint8_t kEntryAttribute = 0x70;      // black on light grey
constexpr std::uint8_t kDirectoryAttribute = 0x71;  // directories in blue
constexpr std::uint8_t kSelectedAttribute = 0x1F;   // bright white on blue

constexpr std::array<std::string_view, 4> kDataExtensions{".DAT", ".RE", ".IM", ".WAV"};

// Names ignoring case, then byte order so that the order is total.
bool name_before(const ChooserEntry& a, const ChooserEntry& b) {
    const std::string ua = upper_case(a.name), ub = upper_case(b.name);
    return ua != ub ? ua < ub : a.name < b.name;
}

// A long path keeps its end, the part that tells where one is.
std::string tail_of(std::string_view text, std::size_t width) {
    if (text.size() <= width) return std::string(text);
    return "..." + std::string(text.substr(text.size() - (width - 3)));
}

std::filesystem::path starting_directory() {
    std::error_code error;
    std::filesystem::path directory = std::filesystem::current_path(error);
    return error ? std::filesystem::path("/") : directory;
}

struct ChooserView {
    std::filesystem::path directory;
    FileFilter filter = FileFilter::data_files;
    std::vector<ChooserEntry> entries;
    int selected = 0;   // index of the highlighted entry
    int top = 0;        // index of the entry on the first list row

    void list() {
        entries = list_directory(directory, filter);
        selected = top = 0;
    }
    void move(int step) {
        if (entries.empty()) return;
        selected = std::clamp(selected + step, 0, static_cast<int>(entries.size()) - 1);
        if (selected < top) top = selected;
        if (selected >= top + kListRows) top = selected - kListRows + 1;
    }
};

void draw(TextConsole& console, const ChooserView& view) {
    for (int row = kChooserFirstRow; row <= kChooserLastRow; ++row) console.clear_row(row, kEntryAttribute);
    console.write(kTitleLine, 1, kChooserTitle, kHeadingAttribute);
    const std::string look_in = std::string(kLookIn);
    console.write(kDirectoryLine, 1,
                  look_in + tail_of(view.directory.string(), TextConsole::kColumns - look_in.size()),
                  kHeadingAttribute);
    const std::string_view filter = view.filter == FileFilter::data_files ? kDataFilesFilter : kAllFilesFilter;
    console.write(kFilterLine, 1, std::string(kFilesOfType) + std::string(filter) + std::string(kTabHint),
                  kHeadingAttribute);
    for (int row = 0; row < kListRows; ++row) {
        const int index = view.top + row;
        if (index >= static_cast<int>(view.entries.size())) break;
        const ChooserEntry& entry = view.entries[static_cast<std::size_t>(index)];
        const std::string text = " " + entry.name + (entry.is_directory ? "/" : "");
        const std::uint8_t attribute = index == view.selected ? kSelectedAttribute
                                       : entry.is_directory  ? kDirectoryAttribute
                                                             : kEntryAttribute;
        console.write(kFirstListRow + row, 1, padded_characters(text, TextConsole::kColumns), attribute);
    }
    console.write(kKeysLine, 1, kChooserKeys, kHeadingAttribute);
    console.reveal(kFirstListRow + view.selected - view.top);   // a short terminal follows the selection
    console.present();
}

std::filesystem::path opened(const std::filesystem::path& directory, const std::string& name) {
    if (name == kParentDirectory) return directory.parent_path().empty() ? directory : directory.parent_path();
    return directory / name;
}

// The rows the chooser draws over, put back when it closes.
using SavedRows = std::vector<Cell>;

SavedRows save_rows(const TextConsole& console) {
    SavedRows saved;
    for (int row = kChooserFirstRow; row <= kChooserLastRow; ++row)
        for (int column = 1; column <= TextConsole::kColumns; ++column) saved.push_back(console.cell(row, column));
    return saved;
}

void restore_rows(TextConsole& console, const SavedRows& saved) {
    std::size_t i = 0;
    for (int row = kChooserFirstRow; row <= kChooserLastRow; ++row)
        for (int column = 1; column <= TextConsole::kColumns; ++column, ++i)
            console.put(row, column, saved[i].character, saved[i].attribute);
    console.present();
}

std::string choose_by_keys(TextConsole& console, KeySource& keys) {
    ChooserView view;
    view.directory = starting_directory();
    view.list();
    for (;;) {
        draw(console, view);
        const int key = keys.read_key();
        if (key == kKeyEscape) return {};
        if (key == kTab) {
            view.filter = view.filter == FileFilter::data_files ? FileFilter::all_files : FileFilter::data_files;
            view.list();
        } else if (key == kKeyEnter && !view.entries.empty()) {
            const ChooserEntry& entry = view.entries[static_cast<std::size_t>(view.selected)];
            if (!entry.is_directory) return (view.directory / entry.name).string();
            view.directory = opened(view.directory, entry.name);
            view.list();
        } else if (key == kKeyExtended) {
            const int code = keys.read_key();
            const int last = static_cast<int>(view.entries.size());
            if (code == kKeyUp) view.move(-1);
            else if (code == kKeyDown) view.move(1);
            else if (code == kKeyPageUp) view.move(-kListRows);
            else if (code == kKeyPageDown) view.move(kListRows);
            else if (code == kKeyHome) view.move(-last);
            else if (code == kKeyEnd) view.move(last);
        }
    }
}

// The headless reply line that stands for the Esc key.
constexpr std::string_view kEscapeLine = "<ESC>";

// Headless there is nothing to browse: the next input line is the path.
std::string choose_by_line(Session& session) {
    const std::optional<std::string> line = session.prompter.keys().read_line();
    if (!line) {
        session.input.end_requested = true;
        return {};
    }
    const std::string path = trim_right(*line);
    session.console.transcript(path);
    // "<ESC>" cancels the chooser as it cancels a question: no file.
    if (upper_case(path) == kEscapeLine) return {};
    return path;
}
}  // namespace

bool matches_filter(std::string_view file_name, FileFilter filter) {
    if (filter == FileFilter::all_files) return true;
    return std::any_of(kDataExtensions.begin(), kDataExtensions.end(),
                       [&](std::string_view extension) { return has_extension(file_name, extension); });
}

std::vector<ChooserEntry> list_directory(const std::filesystem::path& directory, FileFilter filter) {
    std::vector<ChooserEntry> directories, files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        std::error_code type_error;
        const std::string name = it->path().filename().string();
        // is_directory follows links, so a link to a directory opens like one.
        if (it->is_directory(type_error)) directories.push_back({name, true});
        else if (matches_filter(name, filter)) files.push_back({name, false});
    }
    std::sort(directories.begin(), directories.end(), name_before);
    std::sort(files.begin(), files.end(), name_before);

    std::vector<ChooserEntry> entries;
    if (directory.has_relative_path()) entries.push_back({std::string(kParentDirectory), true});
    entries.insert(entries.end(), directories.begin(), directories.end());
    entries.insert(entries.end(), files.begin(), files.end());
    return entries;
}

std::string choose_file(Session& session) {
    KeySource& keys = session.prompter.keys();
    if (keys.line_mode()) return choose_by_line(session);
    const SavedRows saved = save_rows(session.console);
    std::string path = choose_by_keys(session.console, keys);
    restore_rows(session.console, saved);
    return path;
}

}  // namespace zeph
