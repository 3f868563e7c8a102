#include "shell/file_chooser.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/fileio/file_fixture.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph {
namespace {

double fixed_seed() { return 0.0; }

constexpr int kTab = 9;

std::vector<ChooserEntry> entries(std::initializer_list<std::pair<const char*, bool>> list) {
    std::vector<ChooserEntry> result;
    for (const auto& [name, is_directory] : list) result.push_back({name, is_directory});
    return result;
}

// Keeps what the console showed at each refresh, to look at the open chooser.
class SnapshotPresenter : public Presenter {
public:
    void refresh(const TextConsole& console) override {
        std::vector<std::string> rows;
        for (int row = 1; row <= TextConsole::kRows; ++row) rows.push_back(console.row_text(row));
        snapshots.push_back(rows);
        selected_rows.push_back(0);
        for (int row = 1; row <= kChooserLastRow; ++row)
            if (console.cell(row, 1).attribute == 0x1F) selected_rows.back() = row;
        help_tops.push_back(console.help_top());
    }
    int rows() const override { return terminal_rows; }
    int terminal_rows = kFullRows;
    std::vector<std::vector<std::string>> snapshots;
    std::vector<int> selected_rows;
    std::vector<int> help_tops;   // the first row a short terminal shows above the prompt block
};

class FileChooserTest : public test::FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        for (const char* name : {"beta", "Alpha", "sub"}) std::filesystem::create_directories(dir_ / name);
        for (const char* name : {"x.dat", "Y.WAV", "z.re", "w.im", "notes.txt", "dat", "sub/b.dat"})
            write_file(name, "1\n");
        saved_directory_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        here_ = std::filesystem::current_path();
        console_.set_presenter(&presenter_);
    }
    void TearDown() override {
        std::filesystem::current_path(saved_directory_);
        FileTest::TearDown();
    }

    std::string choose(ScriptKeySource keys) {
        keys_ = std::move(keys);
        return choose_file(session_);
    }

    std::filesystem::path saved_directory_, here_;
    TextConsole console_;
    SnapshotPresenter presenter_;
    ScriptKeySource keys_;
    Interpreter interpreter_{fixed_seed};
    Session session_{console_, keys_, interpreter_};
};

TEST(FileFilter, DataExtensionsInAnyCase) {
    for (const char* name : {"a.dat", "B.DAT", "c.Re", "d.IM", "e.wav", "f.WaV"})
        EXPECT_TRUE(matches_filter(name, FileFilter::data_files)) << name;
    for (const char* name : {"a.txt", "dat", "a.dat.bak", "a.wa", "are"})
        EXPECT_FALSE(matches_filter(name, FileFilter::data_files)) << name;
    EXPECT_TRUE(matches_filter("a.txt", FileFilter::all_files));
}

TEST_F(FileChooserTest, ListsParentThenDirectoriesThenMatchingFiles) {
    EXPECT_EQ(list_directory(dir_, FileFilter::data_files),
              entries({{"..", true}, {"Alpha", true}, {"beta", true}, {"sub", true},
                       {"w.im", false}, {"x.dat", false}, {"Y.WAV", false}, {"z.re", false}}));
    EXPECT_EQ(list_directory(dir_, FileFilter::all_files),
              entries({{"..", true}, {"Alpha", true}, {"beta", true}, {"sub", true}, {"dat", false},
                       {"notes.txt", false}, {"w.im", false}, {"x.dat", false}, {"Y.WAV", false},
                       {"z.re", false}}));
}

TEST_F(FileChooserTest, RootHasNoParentAndAMissingDirectoryOnlyTheParent) {
    const std::vector<ChooserEntry> root = list_directory("/", FileFilter::all_files);
    EXPECT_TRUE(root.empty() || root.front().name != "..");
    EXPECT_EQ(list_directory(dir_ / "missing", FileFilter::all_files), entries({{"..", true}}));
}

TEST_F(FileChooserTest, OpensADirectoryAndPicksAFile) {
    ScriptKeySource keys;
    // .., Alpha, beta, sub: three down to sub, open it; then .., b.dat.
    keys.extended(kKeyDown).extended(kKeyDown).extended(kKeyDown).enter().extended(kKeyDown).enter();
    EXPECT_EQ(choose(keys), (here_ / "sub" / "b.dat").string());
    EXPECT_EQ(std::filesystem::current_path(), here_);   // browsing does not change directory
}

TEST_F(FileChooserTest, ParentEntryGoesUp) {
    ScriptKeySource keys;
    keys.extended(kKeyEnd).extended(kKeyHome).enter();   // ".." of the scratch directory
    keys.key(kKeyEscape);
    EXPECT_EQ(choose(keys), "");
    ASSERT_FALSE(presenter_.snapshots.empty());
    const auto& last_open = presenter_.snapshots[presenter_.snapshots.size() - 2];
    EXPECT_EQ(last_open[1], " Look in: " + here_.parent_path().string());
}

TEST_F(FileChooserTest, TabSwitchesToAllFiles) {
    ScriptKeySource keys;
    keys.key(kTab).extended(kKeyPageDown).enter();   // the last entry: z.re
    EXPECT_EQ(choose(keys), (here_ / "z.re").string());
    ASSERT_GE(presenter_.snapshots.size(), 2u);
    const auto& shown = presenter_.snapshots[presenter_.snapshots.size() - 2];   // the last before closing
    EXPECT_EQ(shown[2], " Files of type: All files(*.*)   (Tab switches)");
    EXPECT_EQ(shown[4 + 5], " notes.txt");   // .., 3 directories, dat, notes.txt
}

TEST_F(FileChooserTest, DrawsTheListWithTheSelectionAndRestoresTheScreen) {
    console_.write(1, 1, "help screen", 0x70);
    console_.write(45, 1, "prompt block", 0x71);
    ScriptKeySource keys;
    keys.extended(kKeyDown).escape();
    EXPECT_EQ(choose(keys), "");
    ASSERT_GE(presenter_.snapshots.size(), 2u);
    const auto& first = presenter_.snapshots[0];
    EXPECT_EQ(first[1], " Look in: " + here_.string());
    EXPECT_EQ(first[2], " Files of type: Data Files(*.DAT, *.RE, *.IM, *.WAV)   (Tab switches)");
    EXPECT_EQ(first[4], " ../");
    EXPECT_EQ(first[5], " Alpha/");
    EXPECT_EQ(first[44], "prompt block");   // the prompt block stays
    EXPECT_EQ(presenter_.selected_rows[0], 5);
    EXPECT_EQ(presenter_.selected_rows[1], 6);   // moved down one
    EXPECT_EQ(console_.row_text(1), "help screen");
    EXPECT_EQ(console_.row_text(5), "");
}

// On a terminal of 24 rows the window above the prompt block follows the selection.
TEST_F(FileChooserTest, AShortTerminalShowsTheSelectedRow) {
    for (int i = 0; i < 40; ++i) write_file("f" + std::to_string(100 + i) + ".dat", "1\n");
    presenter_.terminal_rows = 24;
    console_.set_use(ScreenUse::prompt);
    ScriptKeySource keys;
    for (int i = 0; i < 30; ++i) keys.extended(kKeyDown);
    keys.escape();
    EXPECT_EQ(choose(keys), "");
    ASSERT_EQ(presenter_.selected_rows.size(), presenter_.help_tops.size());
    int lowest = 0;
    for (std::size_t i = 0; i + 1 < presenter_.selected_rows.size(); ++i) {   // the last refresh restores the screen
        const int row = presenter_.selected_rows[i], top = presenter_.help_tops[i];
        EXPECT_GE(row, top) << i;
        EXPECT_LT(row, top + help_window_rows(24)) << i;
        lowest = std::max(lowest, row);
    }
    EXPECT_GT(lowest, 2 + help_window_rows(24));   // the selection went below the first window
}

TEST_F(FileChooserTest, HeadlessTakesTheNextLine) {
    EXPECT_EQ(choose(ScriptKeySource::from_lines({"/data/x.dat  "})), "/data/x.dat");
    EXPECT_FALSE(session_.input.end_requested);
    EXPECT_EQ(choose(ScriptKeySource::from_lines({})), "");
    EXPECT_TRUE(session_.input.end_requested);   // end of input ends the program as at a prompt
}

TEST_F(FileChooserTest, HeadlessEscLineCancels) {
    EXPECT_EQ(choose(ScriptKeySource::from_lines({"<ESC>"})), "");
    EXPECT_EQ(choose(ScriptKeySource::from_lines({"<esc>  "})), "");
    EXPECT_FALSE(session_.input.end_requested);
}

}  // namespace
}  // namespace zeph
