// Named pipes given as file names: reading or writing must report an error at
// once, never wait for another program to open the other end.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <vector>

#include "fileio/output_file.hpp"
#include "fileio/signal_reader.hpp"
#include "fileio/wav.hpp"
#include "tests/fileio/file_fixture.hpp"

namespace zeph::test {
namespace {

class NamedPipe : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        ASSERT_EQ(::mkfifo(path("pipe.dat").c_str(), 0600), 0);
        ASSERT_EQ(::mkfifo(path("pipe.wav").c_str(), 0600), 0);
    }

    // Runs `action` and expects it to finish: a minute, which only an open
    // stuck on the pipe reaches, even on a busy machine. Then the other end is
    // opened to release it, so that the test fails instead of hanging.
    template <typename Action>
    auto finishes_at_once(Action action, const std::string& pipe) {
        auto result = std::async(std::launch::async, action);
        if (result.wait_for(std::chrono::minutes(1)) != std::future_status::ready) {
            ADD_FAILURE() << "waited on the named pipe " << pipe;
            const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
            const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            result.wait();
            if (writer >= 0) ::close(writer);
            if (reader >= 0) ::close(reader);
        }
        return result.get();
    }
};

TEST_F(NamedPipe, ReadingOneIsRefused) {
    const std::string pipe = path("pipe.dat");
    const SignalRead r = finishes_at_once([&] { return read_signal(pipe, "", {1, 1, 100}); }, pipe);
    EXPECT_FALSE(r.status.ok);
    EXPECT_TRUE(r.samples.empty());
    const std::string wav = path("pipe.wav");
    EXPECT_FALSE(finishes_at_once([&] { return read_wav(wav, 100); }, wav).status.ok);
}

TEST_F(NamedPipe, WritingOneWithoutAReaderFails) {
    const std::vector<double> values{1, 2, 3};
    const std::string pipe = path("pipe.dat");
    for (const char* format : {"R8", "1C"}) {
        const Status s = finishes_at_once([&] { return write_output_file(values, format, pipe, 0.0, 1.0); }, pipe);
        EXPECT_FALSE(s.ok) << format;
    }
    const std::vector<Complex> samples{{1, 0}, {2, 0}};
    const std::string wav = path("pipe.wav");
    EXPECT_FALSE(finishes_at_once([&] { return write_wav(samples, wav, WavChannels::Mono, 1e-3); }, wav).ok);
}

}  // namespace
}  // namespace zeph::test
