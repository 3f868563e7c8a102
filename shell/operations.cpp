#include "shell/operations.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "shell/command_words.hpp"
#include "shell/filter_dialogue.hpp"
#include "shell/linear_transform_dialogue.hpp"
#include "shell/resample_dialogue.hpp"
#include "shell/two_signal_dialogue.hpp"
#include "shell/window_dialogue.hpp"

namespace zeph {

namespace {

struct SingleSignalOperation {
    int id;
    bool (*run)(Session&, CurrentSignal&);
};

constexpr std::array kSingleSignalOperations{
    SingleSignalOperation{kOpWindow, window_dialogue},
    SingleSignalOperation{kOpLinearTransform, linear_transform_dialogue},
    SingleSignalOperation{kOpChangeRate, sample_rate_dialogue},
    SingleSignalOperation{kOpChangePoints, point_count_dialogue},
    SingleSignalOperation{kOpDerivative, derivative_operation},
    SingleSignalOperation{kOpIntegral, integral_operation},
    SingleSignalOperation{kOpFilter, filter_dialogue},
};

struct TwoSignalOperation {
    int id;
    void (*run)(Session&);
};

constexpr std::array kTwoSignalOperations{
    TwoSignalOperation{kOpAutoCorrelation, autocorrelation_operation},
    TwoSignalOperation{kOpConvolution, convolution_operation},
    TwoSignalOperation{kOpCrossCorrelation, cross_correlation_operation},
    TwoSignalOperation{kOpSwap, swap_operation},
    TwoSignalOperation{kOpCopyBToA, copy_b_to_a_operation},
    TwoSignalOperation{kOpCopyAToB, copy_a_to_b_operation},
};

template <typename Table>
const typename Table::value_type* find_operation(const Table& table, int id) {
    const auto found = std::find_if(table.begin(), table.end(), [id](const auto& op) { return op.id == id; });
    return found == table.end() ? nullptr : &*found;
}

}  // namespace

bool run_single_signal_operation(Session& session, int id, CurrentSignal& signal) {
    const SingleSignalOperation* operation = find_operation(kSingleSignalOperations, id);
    return operation != nullptr && operation->run(session, signal);
}

void run_two_signal_operation(Session& session, int id) {
    if (const TwoSignalOperation* operation = find_operation(kTwoSignalOperations, id)) operation->run(session);
}

std::span<Complex> samples_in_use(CurrentSignal& signal) {
    const std::size_t npts = std::min(static_cast<std::size_t>(std::max(signal.npts, 0)), signal.storage.size());
    return signal.storage.first(npts);
}

int nearest_int(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::round(value);   // halves away from zero
    if (rounded >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (rounded <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(rounded);
}

std::string upper_trimmed(std::string_view reply) {
    std::string text(reply.substr(0, reply.find_last_not_of(' ') + 1));
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

PromptRequest kept_answer_question(const Session& session, std::string_view prompt, std::string_view kept) {
    return PromptRequest{.title = session.workspace.status_line, .prompt = prompt, .current = std::string(kept),
                         .default_reply = kept, .mode = 'C'};
}

bool ask_kept_values(Session& session, std::string_view prompt, std::array<double, 4>& values, int count) {
    const std::string kept_text = current_values_text(values, count);
    PromptRequest request{.title = session.workspace.status_line, .prompt = prompt, .default_reply = kept_text,
                          .mode = 'N', .value_count = count, .values = values};
    if (!session.ask(request)) return false;
    // Only the asked values: a rejected reply may have stored more fields.
    std::copy_n(request.values.begin(), std::clamp(count, 0, 4), values.begin());
    return true;
}

char first_letter(std::string_view reply) {
    if (reply.empty()) return ' ';
    const char c = reply.front();
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace zeph
