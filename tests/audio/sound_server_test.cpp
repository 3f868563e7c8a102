// A round trip through a real sound server started here: a private
// PulseAudio with null sinks; a chirp played into the sink is recorded back
// from the sink's monitor and compared with the original by correlation.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "audio/sound.hpp"
#include "tests/audio/sound_environment.hpp"
#include "tests/support/temp_directory.hpp"

namespace zeph::test {
namespace {

using testing::TempDirectory;

std::string sink_name(int rate) { return "zeph_null_" + std::to_string(rate); }

std::string file_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// pulseaudio without a configuration script: a null sink at each rate and a socket with
// anonymous access, in a private runtime folder; ended when the object goes.
class PulseServer {
public:
    explicit PulseServer(const TempDirectory& dir) : socket_(dir.file("pulse/native")) {
        std::filesystem::create_directories(dir.file("pulse"));
        ::chmod(dir.path().c_str(), 0700);
        ::chmod(dir.file("pulse").c_str(), 0700);
        const std::string log = dir.file("pulse.log");
        // A sink at each rate played, so that the server resamples nothing.
        const std::string sink48 = "module-null-sink sink_name=" + sink_name(48000) + " rate=48000 channels=2";
        const std::string sink22 = "module-null-sink sink_name=" + sink_name(22050) + " rate=22050 channels=2";
        const std::string protocol = "module-native-protocol-unix auth-anonymous=1 socket=" + socket_;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
            ::setenv("PULSE_RUNTIME_PATH", dir.file("pulse").c_str(), 1);
            ::setenv("HOME", dir.path().c_str(), 1);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) ::dup2(fd, STDOUT_FILENO), ::dup2(fd, STDERR_FILENO);
            ::execlp("pulseaudio", "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
                     "--disable-shm=yes", "-L", sink48.c_str(), "-L", sink22.c_str(), "-L", protocol.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid_ < 0) {
            why_ = "fork failed";
            return;
        }
        // The socket appears once both modules are loaded; a server that cannot start ends.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!std::filesystem::exists(socket_)) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                why_ = "pulseaudio did not start (exit " + std::to_string(WEXITSTATUS(status)) + "): " + file_text(log);
                return;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                why_ = "pulseaudio made no socket";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        running_ = true;
    }
    ~PulseServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool running() const { return running_; }
    const std::string& why_not() const { return why_; }
    const std::string& socket() const { return socket_; }

private:
    std::string socket_;
    pid_t pid_ = -1;
    bool running_ = false;
    std::string why_;
};

// A linear chirp from 200 Hz to 8 kHz at half full scale, faded in and out over 5 ms.
std::vector<double> chirp(int rate, double seconds) {
    const std::size_t n = static_cast<std::size_t>(rate * seconds);
    const std::size_t fade = static_cast<std::size_t>(rate * 0.005);
    std::vector<double> x(n);
    const double f0 = 200, f1 = 8000;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double phase = kTwoPi * (f0 * t + (f1 - f0) * t * t / (2 * seconds));
        const double edge = std::min({1.0, static_cast<double>(i) / fade, static_cast<double>(n - 1 - i) / fade});
        x[i] = 16000 * edge * std::sin(phase);
    }
    return x;
}

// The largest normalised cross-correlation of the pattern with the recording
// over the lags around where the recording first rises above the noise.
double best_correlation(const std::vector<Complex>& recorded, const std::vector<double>& pattern) {
    std::size_t onset = 0;
    while (onset < recorded.size() && std::abs(recorded[onset].real()) < 800) ++onset;
    if (recorded.size() < pattern.size()) return 0;
    const std::size_t last_lag = recorded.size() - pattern.size();
    const std::size_t from = onset > 2000 ? onset - 2000 : 0;
    const std::size_t to = std::min(last_lag, onset + 2000);
    double pattern_energy = 0;
    for (const double v : pattern) pattern_energy += v * v;
    double best = 0;
    for (std::size_t lag = from; lag <= to; ++lag) {
        double cross = 0, energy = 0;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            const double r = recorded[lag + i].real();
            cross += r * pattern[i];
            energy += r * r;
        }
        if (energy > 0) best = std::max(best, cross / std::sqrt(energy * pattern_energy));
    }
    return best;
}

// The player is this test program started again with ZEPH_TEST_PLAYER_RATE
// set: a fresh process, as the sound server's client library refuses to run
// in a child forked from a process that used it. It plays the chirp with
// silence around it and ends before the tests would run.
constexpr const char* kPlayerRate = "ZEPH_TEST_PLAYER_RATE";
constexpr const char* kPlayerReport = "ZEPH_TEST_PLAYER_REPORT";

const bool kIsPlayer = [] {
    const char* rate_text = std::getenv(kPlayerRate);
    if (!rate_text) return false;
    const int rate = std::atoi(rate_text);
    std::vector<double> played(static_cast<std::size_t>(rate * 0.2), 0.0);
    const std::vector<double> pattern = chirp(rate, 0.5);
    played.insert(played.end(), pattern.begin(), pattern.end());
    played.resize(played.size() + static_cast<std::size_t>(rate * 0.5), 0.0);
    const PlaybackResult r = play_sound(to_pcm16(played), rate);
    if (const char* report = std::getenv(kPlayerReport); report && !r.status) std::ofstream(report) << r.status.message;
    std::_Exit(r.status && !r.stopped ? 0 : 1);
}();

pid_t start_player(int rate, const std::string& report) {
    std::vector<std::string> settings{std::string(kPlayerRate) + "=" + std::to_string(rate),
                                      std::string(kPlayerReport) + "=" + report, "PULSE_SINK=" + sink_name(rate)};
    for (char** e = environ; *e; ++e) settings.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& setting : settings) envp.push_back(setting.data());
    envp.push_back(nullptr);
    char program[] = "/proc/self/exe";
    char* argv[] = {program, nullptr};
    pid_t pid = -1;
    return ::posix_spawn(&pid, program, nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}

TEST(SoundServer, ChirpPlayedIntoANullSinkIsRecordedFromItsMonitor) {
    ASSERT_FALSE(kIsPlayer);
    TempDirectory dir("zpa");
    const PulseServer server(dir);
    if (!server.running()) GTEST_SKIP() << "no sound server here: " << server.why_not();
    ScopedEnvironment env;
    env.set("SDL_AUDIODRIVER", "pulseaudio");
    env.set("PULSE_SERVER", "unix:" + server.socket());
    env.unset("ZEPH_AUDIO");

    // A busy machine may starve the player for a moment (a gap of silence in
    // the sink): such a round trip is made again, up to three times.
    for (const int rate : {48000, 22050}) {
        double correlation = 0;
        for (int attempt = 0; attempt < 3 && correlation < 0.99; ++attempt) {
            SCOPED_TRACE(rate);
            env.set("PULSE_SOURCE", sink_name(rate) + ".monitor");
            const std::string report = dir.file("player" + std::to_string(rate) + ".txt");
            pid_t player = -1;
            int player_status = -1;
            double player_done_at = -1;   // seconds recorded when the player ended
            Recording rec;
            // The player starts once the recording runs; the recording goes on
            // half a second after the player has handed its last frames to the server.
            const Status s = record_sound({static_cast<double>(rate), 1, 60, 0}, rec, [&](const SoundProgress& p) {
                if (player < 0) player = start_player(rate, report);
                if (player > 0 && player_done_at < 0 && ::waitpid(player, &player_status, WNOHANG) == player)
                    player_done_at = p.seconds_done;
                return player_done_at < 0 || p.seconds_done < player_done_at + 0.5;
            });
            if (player > 0 && player_done_at < 0) ::waitpid(player, &player_status, 0);
            ASSERT_TRUE(s) << s.message;
            ASSERT_GT(player, 0) << "the player did not start";
            ASSERT_TRUE(WIFEXITED(player_status) && WEXITSTATUS(player_status) == 0)
                << "player failed: " << player_status << " " << file_text(report);
            EXPECT_TRUE(rec.stopped);
            correlation = best_correlation(to_complex(rec.sound), chirp(rate, 0.5));
            std::printf("rate %d Hz: %zu frames recorded, correlation %.6f\n", rate, rec.sound.frames(), correlation);
        }
        EXPECT_GE(correlation, 0.99) << rate << " Hz";
    }
}

}  // namespace
}  // namespace zeph::test
