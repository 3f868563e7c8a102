#include "shell/workspace.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "base/memory_limit.hpp"
#include "base/utf8.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

namespace {
// The largest capacity the storage can index: 2*M complex values with int counts.
constexpr long long kLargestCapacity = (1LL << 30);
// Bytes per point of capacity: two complex samples, two work values, and the
// transform's tables when a signal of that length is transformed.
constexpr long long kBytesPerPoint = 2 * 16 + 2 * 8 + 36;

// Whether `points` of capacity fit in what the process may still take (the
// machine's memory, the address-space limit, the cgroup's limit).
bool fits_in_memory(long long points) {
    return static_cast<long double>(points) * kBytesPerPoint <= available_memory_bytes();
}
}  // namespace

SignalRef current_signal(Workspace& workspace) {
    const Domain domain = workspace.current_domain();
    const SignalSlot& slot = workspace.slot(domain);
    const int npts = std::clamp(workspace.count(domain), 0, workspace.max_points);
    const std::span<Complex> storage(workspace.samples(domain), static_cast<std::size_t>(std::max(workspace.max_points, 0)));
    return {{npts, slot.xmin, slot.dx}, storage, domain};
}

std::string parameter_label(const Selection& selection) {
    return selection.parameter ? padded_characters(selection.parameter->label, 20) : std::string();
}

bool is_xy(const Selection& selection) {
    return selection.parameter && selection.parameter->parameter.shape == ResultShape::xy;
}

DbForm decibel_form(const Selection& selection) {
    return selection.parameter ? selection.parameter->parameter.decibels : DbForm::none;
}

void reset_selection(Workspace& workspace) {
    Selection& selection = workspace.selection;
    selection.function = nullptr;
    selection.parameter = nullptr;
    selection.cache_valid = false;
    workspace.signal_mode = SignalMode::linked;
    for (const CommandWord& option : command_words())
        if (option.kind == WordKind::option && option.rules.reset_with_selection) workspace.options.*(option.flag) = 0;
}

std::string signal_name_part(const Workspace& workspace) {
    auto shown = [](const std::string& name) {
        std::string trimmed(first_characters(name, 17));
        trimmed.erase(trimmed.find_last_not_of(' ') + 1);
        return trimmed;
    };
    const std::string real = shown(workspace.real_name_shown);
    const std::string imag = shown(workspace.imag_name_shown);
    const char* joiner = real.empty() ? (imag.empty() ? "0+j0" : " +j ") : (imag.empty() ? ",+j0" : ",+j ");
    return real + joiner + imag;
}

std::string capacity_status_line(int max_points) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d", max_points);
    return std::string("Maximum number of sample points:") + text;
}

BitReverseTable& tables_for_transform(Workspace& workspace, long long n) {
    if (n <= 0 || workspace.transform_table.points() != n) release_read_storage();
    return workspace.transform_table;
}

std::string allocation_failure_message(double requested) {
    char text[32];
    // A count beyond what a whole number shows exactly is shown as asked, in E form.
    if (std::fabs(requested) < 9e15 && requested == std::round(requested))
        std::snprintf(text, sizeof text, "%8lld", static_cast<long long>(requested));
    else
        std::snprintf(text, sizeof text, "%8.6G", requested);
    // The count is right-aligned in 8 columns; a wider one still stands apart from the words.
    const std::string count = text[0] == ' ' ? text : std::string(" ") + text;
    return "Unable to allocate memory for" + count + " data points";
}

Status allocate_storage(Workspace& workspace, long long requested) {
    if (requested < 1 || requested >= kLargestCapacity || !fits_in_memory(requested))
        return Status::failure(allocation_failure_message(static_cast<double>(requested)));
    const long long even = ((requested + 1) / 2) * 2;
    const auto m = static_cast<std::size_t>(even);
    release_read_storage();   // first, so that its memory can serve the new storage
    decltype(workspace.sample_store) store;
    decltype(workspace.work_x) work_x, work_y;
    try {
        store.resize(2 * m);
        work_x.resize(m);
        work_y.resize(m);
    } catch (const std::bad_alloc&) {
        return Status::failure(allocation_failure_message(static_cast<double>(requested)));
    }
    workspace.sample_store.swap(store);
    workspace.work_x.swap(work_x);
    workspace.work_y.swap(work_y);
    workspace.max_points = static_cast<int>(even);
    workspace.transform_table.forget();
    // The new storage holds zeros.
    for (const Domain domain : kDomains) {
        workspace.slot(domain).present = false;
        workspace.record_change(domain, SignalOrigin::none);
    }
    workspace.status_line = capacity_status_line(workspace.max_points);
    return Status::success();
}

}  // namespace zeph
