#pragma once
// A session driven by scripted reply lines, with the transcript recorded.
#include <filesystem>
#include <string>
#include <vector>

#include "shell/command_loop.hpp"
#include "shell/session.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph::testing {

class ScriptedSession {
public:
    explicit ScriptedSession(std::vector<std::string> replies, int capacity = 4096)
        : keys(ScriptKeySource::from_lines(std::move(replies))), session(console, keys, interpreter) {
        console.set_presenter(&presenter);
        directory = std::filesystem::temp_directory_path() /
                    ("zeph-session-" + std::to_string(::getpid()) + "-" + std::to_string(++counter()));
        std::filesystem::create_directories(directory);
        session.program_directory = directory.string() + "/";
        session.input.log.create((directory / "ZEPH32.TMP").string(), directory.string(), "", "");
        allocate_storage(session.workspace, capacity);
        session.nopause = true;
    }
    ~ScriptedSession() { std::filesystem::remove_all(directory); }

    // Fills signal A (independent count and linked count) with `values` on the grid xmin, dx.
    void set_a(const std::vector<Complex>& values, double xmin = 0.0, double dx = 1.0) {
        Workspace& w = session.workspace;
        std::copy(values.begin(), values.end(), w.signal_a());
        w.slot(Domain::time).npts = w.linked_npts = static_cast<int>(values.size());
        w.slot(Domain::time).xmin = xmin;
        w.slot(Domain::time).dx = dx;
        w.slot(Domain::time).present = true;
    }
    void set_b(const std::vector<Complex>& values, double xmin = 0.0, double dx = 1.0) {
        Workspace& w = session.workspace;
        std::copy(values.begin(), values.end(), w.signal_b());
        w.slot(Domain::frequency).npts = w.linked_npts = static_cast<int>(values.size());
        w.slot(Domain::frequency).xmin = xmin;
        w.slot(Domain::frequency).dx = dx;
        w.slot(Domain::frequency).present = true;
    }
    void line(std::string_view command) { run_command_line(session, command); }
    std::vector<double> shown() const {
        const Workspace& w = session.workspace;
        return {w.work_y.begin(), w.work_y.begin() + w.display.display_count};
    }
    bool transcript_has(std::string_view text) const {
        for (const std::string& l : presenter.lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }

    TextConsole console;
    RecordingPresenter presenter;
    ScriptKeySource keys;
    Interpreter interpreter{[] { return 0.0; }};
    Session session;
    std::filesystem::path directory;

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
};

}  // namespace zeph::testing
