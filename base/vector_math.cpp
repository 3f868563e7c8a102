#include "base/vector_math.hpp"

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "base/vector_math_table.hpp"

namespace zeph {

namespace {

struct Isa {
    std::string_view name;
    const VectorKernels* (*kernels)();   // nullptr: the C library
    bool (*available)();
};

#if defined(__x86_64__)
// Widest first: the first one the machine has is taken.
const std::array kIsas{
    Isa{"avx512", [] { return &avx512_kernels(); }, [] { return __builtin_cpu_supports("avx512f") != 0; }},
    Isa{"avx2", [] { return &avx2_kernels(); },
        [] { return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("fma") != 0; }},
    Isa{"sse2", [] { return &sse2_kernels(); }, [] { return true; }},
    Isa{"scalar", [] { return static_cast<const VectorKernels*>(nullptr); }, [] { return true; }},
};
#else
const std::array kIsas{Isa{"scalar", [] { return static_cast<const VectorKernels*>(nullptr); }, [] { return true; }}};
#endif

// The widest set the machine has, or the narrower one ZEPH_VECTOR_MATH names
// (for benchmarks: how the program runs on a machine without the wider one).
const Isa* widest_available() {
    const char* chosen = std::getenv("ZEPH_VECTOR_MATH");
    for (const Isa& isa : kIsas)
        if (chosen != nullptr && isa.name == chosen && isa.available()) return &isa;
    for (const Isa& isa : kIsas)
        if (isa.available()) return &isa;
    return &kIsas.back();
}

std::atomic<const Isa*> g_isa{nullptr};

const Isa& current_isa() {
    const Isa* isa = g_isa.load(std::memory_order_acquire);
    if (isa == nullptr) {
        isa = widest_available();
        g_isa.store(isa, std::memory_order_release);
    }
    return *isa;
}

// Values per pass: the kernel's results are held here until checked, so y may be x.
constexpr std::size_t kChunk = 512;

// A result the C library must give itself: an argument or result that is not
// a normal number (subnormal ones carry fewer bits, where a vector result's
// rounding error would be many units).
bool needs_library(double x, double y) { return !std::isnormal(x) || !std::isnormal(y); }

}  // namespace

double library_function(VectorFunction f, double x) {
    switch (f) {
        case VectorFunction::sin: return std::sin(x);
        case VectorFunction::cos: return std::cos(x);
        case VectorFunction::tan: return std::tan(x);
        case VectorFunction::exp: return std::exp(x);
        case VectorFunction::log: return std::log(x);
        case VectorFunction::log10: return std::log10(x);
        case VectorFunction::atan: return std::atan(x);
        case VectorFunction::asin: return std::asin(x);
        case VectorFunction::acos: return std::acos(x);
        case VectorFunction::cosh: return std::cosh(x);
    }
    return x;
}

double library_function2(VectorFunction2 f, double x1, double x2) {
    switch (f) {
        case VectorFunction2::atan2: return std::atan2(x1, x2);
        case VectorFunction2::hypot: return std::hypot(x1, x2);
        case VectorFunction2::pow: return std::pow(x1, x2);
    }
    return x1;
}

void vector_apply(VectorFunction f, const double* x, double* y, std::size_t n) {
    const VectorKernels* kernels = current_isa().kernels();
    if (kernels == nullptr) {
        for (std::size_t i = 0; i < n; ++i) y[i] = library_function(f, x[i]);
        return;
    }
    const VectorKernel1 kernel = kernels->one[static_cast<std::size_t>(f)];
    alignas(64) double buffer[kChunk];
    for (std::size_t begin = 0; begin < n; begin += kChunk) {
        const std::size_t count = std::min(kChunk, n - begin);
        const double* in = x + begin;
        double* result = x == y ? buffer : y + begin;   // in place: the arguments are still needed
        if (kernel(in, result, count))
            for (std::size_t i = 0; i < count; ++i)
                if (needs_library(in[i], result[i])) result[i] = library_function(f, in[i]);
        if (result == buffer) std::copy(buffer, buffer + count, y + begin);
    }
}

void vector_apply2(VectorFunction2 f, const double* x1, const double* x2, double* y, std::size_t n) {
    const VectorKernels* kernels = current_isa().kernels();
    if (kernels == nullptr) {
        for (std::size_t i = 0; i < n; ++i) y[i] = library_function2(f, x1[i], x2[i]);
        return;
    }
    const VectorKernel2 kernel = kernels->two[static_cast<std::size_t>(f)];
    alignas(64) double buffer[kChunk];
    for (std::size_t begin = 0; begin < n; begin += kChunk) {
        const std::size_t count = std::min(kChunk, n - begin);
        const double* in1 = x1 + begin;
        const double* in2 = x2 + begin;
        double* result = x1 == y || x2 == y ? buffer : y + begin;
        if (kernel(in1, in2, result, count))
            for (std::size_t i = 0; i < count; ++i)
                if (needs_library(in1[i], result[i]) || !std::isnormal(in2[i]))
                    result[i] = library_function2(f, in1[i], in2[i]);
        if (result == buffer) std::copy(buffer, buffer + count, y + begin);
    }
}

std::string_view vector_math_isa() { return current_isa().name; }

bool select_vector_math_isa(std::string_view name) {
    for (const Isa& isa : kIsas)
        if (isa.name == name) {
            if (!isa.available()) return false;
            g_isa.store(&isa, std::memory_order_release);
            return true;
        }
    return false;
}

}  // namespace zeph
