// Each signal slot records what made its samples and counts their changes,
// so that a spectrum made by the transform can be told apart from one the
// waveform has since moved away from.
#include <algorithm>

#include <gtest/gtest.h>

#include "fileio/sample_file.hpp"
#include "session_fixture.hpp"

namespace zeph {
namespace {

using testing::ScriptedSession;

std::vector<Complex> ones(int n) { return std::vector<Complex>(static_cast<std::size_t>(n), Complex{1, 0}); }

TEST(SignalSlots, RecordWhatMadeEachSignal) {
    ScriptedSession s({"=CONSTANT", "", "8", "1", "1 0",   // RT
                       "8 0 1", "X"});                     // WA EQ
    Workspace& w = s.session.workspace;
    const SignalSlot& a = w.slot(Domain::time);
    const SignalSlot& b = w.slot(Domain::frequency);
    EXPECT_EQ(a.origin, SignalOrigin::none);

    unsigned a_seen = a.generation;
    s.line("RT");
    EXPECT_EQ(a.origin, SignalOrigin::constant);
    EXPECT_EQ(a.generation, a_seen + 1);

    unsigned b_seen = b.generation;
    s.line("SP CR");
    ASSERT_TRUE(b.present);
    EXPECT_EQ(b.origin, SignalOrigin::transform);
    EXPECT_EQ(b.generation, b_seen + 1);
    EXPECT_EQ(b.source_generation, a.generation);

    a_seen = a.generation;
    s.line("WA EQ");
    EXPECT_EQ(a.origin, SignalOrigin::equation);
    EXPECT_EQ(a.generation, a_seen + 1);
    EXPECT_NE(b.source_generation, a.generation);   // B is no longer A's transform
    EXPECT_FALSE(b.present);

    a_seen = a.generation;
    s.line("WA DX");
    EXPECT_EQ(a.origin, SignalOrigin::operation);
    EXPECT_EQ(a.generation, a_seen + 1);

    // A linked spectrum display makes B again from the current A.
    s.line("SP RE");
    EXPECT_EQ(b.origin, SignalOrigin::transform);
    EXPECT_EQ(b.source_generation, a.generation);
}

TEST(SignalSlots, SwapAndCopiesChangeOnlyTheSignalsTheyWrite) {
    ScriptedSession s({});
    Workspace& w = s.session.workspace;
    w.signal_mode = SignalMode::independent;
    s.set_a(ones(4));
    s.set_b(ones(4));
    const SignalSlot& a = w.slot(Domain::time);
    const SignalSlot& b = w.slot(Domain::frequency);

    unsigned a_seen = a.generation, b_seen = b.generation;
    s.line("WA SW");
    EXPECT_EQ(a.generation, a_seen + 1);
    EXPECT_EQ(b.generation, b_seen + 1);

    a_seen = a.generation;
    b_seen = b.generation;
    s.line("WA B=");
    EXPECT_EQ(a.generation, a_seen);
    EXPECT_EQ(b.generation, b_seen + 1);
    EXPECT_EQ(b.origin, SignalOrigin::operation);

    s.line("WA A=");
    EXPECT_EQ(a.generation, a_seen + 1);
    EXPECT_EQ(b.generation, b_seen + 1);
}

TEST(SignalSlots, RefusedCommandsLeaveTheRecord) {
    ScriptedSession s({"3 0 1", "UNKNOWN"});
    Workspace& w = s.session.workspace;
    s.set_a(ones(6));
    const SignalSlot& a = w.slot(Domain::time);
    const unsigned seen = a.generation;

    s.line("WA AC");   // six points: not a power of two
    EXPECT_FALSE(w.message_line.empty());
    w.message_line.clear();
    s.line("WA EQ");   // the formula fails
    EXPECT_FALSE(w.message_line.empty());
    w.message_line.clear();
    s.line("WA AD");   // no B
    EXPECT_FALSE(w.message_line.empty());
    EXPECT_EQ(a.generation, seen);
}

TEST(SignalSlots, NewStorageHoldsNoSignal) {
    ScriptedSession s({"100"});
    Workspace& w = s.session.workspace;
    s.set_a(ones(4));
    w.record_change(Domain::time, SignalOrigin::equation);
    const unsigned seen = w.slot(Domain::time).generation;
    s.line("AL");
    for (const Domain domain : kDomains) {
        EXPECT_FALSE(w.slot(domain).present);
        EXPECT_EQ(w.slot(domain).origin, SignalOrigin::none);
    }
    EXPECT_EQ(w.slot(Domain::time).generation, seen + 1);
}

// The storage kept from the last read is let go before the transform fills
// its tables for a new count (the two never hold memory together that a
// read and a transform did not), and kept while the tables serve the same
// count; AL lets it go too.
TEST(SignalSlots, ReadStorageMakesRoomForNewTransformTables) {
    ScriptedSession s({"100"});
    Workspace& w = s.session.workspace;
    const auto kept_capacity = [] {   // takes the kept storage, gives it back
        std::vector<Complex> taken;
        reserve_samples(taken, 0);
        const std::size_t capacity = taken.capacity();
        taken.resize(capacity);
        keep_read_storage(std::move(taken));
        return capacity;
    };
    keep_read_storage(std::vector<Complex>(64));
    ASSERT_EQ(kept_capacity(), 64u);
    ASSERT_TRUE(w.transform_table.prepare(4));
    tables_for_transform(w, 16);   // the tables hold 16 points already
    EXPECT_EQ(kept_capacity(), 64u);
    tables_for_transform(w, 32);
    EXPECT_EQ(kept_capacity(), 0u);
    keep_read_storage(std::vector<Complex>(64));
    s.line("AL");
    EXPECT_EQ(kept_capacity(), 0u);
}

// A spectrum made by the transform follows its waveform even when the
// waveform was changed in independent mode; one the user made stays.
TEST(SignalSlots, SpectrumOfAChangedWaveformIsMadeAgain) {
    ScriptedSession s({"8 0 1", "1",    // AS EQ
                       "8 0 1", "2",    // AS EQ
                       "8 0 1", "5"});  // BS EQ
    const Workspace& w = s.session.workspace;
    // The spectrum's largest real value: its DC line.
    const auto largest_shown = [&s] {
        const std::vector<double> values = s.shown();
        return *std::max_element(values.begin(), values.end());
    };
    s.line("AS EQ");
    s.line("SP RE NOPL");
    EXPECT_DOUBLE_EQ(largest_shown(), 8.0);
    s.line("AS EQ");
    s.line("SP RE NOPL");
    EXPECT_DOUBLE_EQ(largest_shown(), 16.0);

    s.line("BS EQ");
    s.line("SP RE NOPL");
    EXPECT_DOUBLE_EQ(largest_shown(), 5.0);
    EXPECT_EQ(w.slot(Domain::frequency).origin, SignalOrigin::equation);
}

TEST(SignalSlots, RefusedEquationKeepsTheGrid) {
    ScriptedSession s({"8 0 1", "1",          // AS EQ
                       "8 5 2", "1+",         // formula with a syntax error
                       "99999999 5 2"});      // more points than allocated
    const SignalSlot& a = s.session.workspace.slot(Domain::time);
    s.line("AS EQ");
    const unsigned made = a.generation;
    s.line("AS EQ");
    s.line("AS EQ");
    EXPECT_EQ(a.generation, made);
    EXPECT_EQ(a.xmin, 0.0);
    EXPECT_EQ(a.dx, 1.0);
}

}  // namespace
}  // namespace zeph
