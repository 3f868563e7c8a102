#include "shell/filter_dialogue.hpp"

#include "shell/operations.hpp"

namespace zeph {

namespace {

// One number, the kept value offered again; false on Esc.
bool ask_number(Session& session, std::string_view prompt, double& value) {
    std::array<double, 4> values{value, 0, 0, 0};
    if (!ask_kept_values(session, prompt, values, 1)) return false;
    value = values[0];
    return true;
}

// The questions of a designed filter: pass band, order, cut-off or
// bandwidth, and the mid frequency, ripple and carrier where they apply.
// False on Esc.
bool ask_design(Session& session, bool chebyshev, FilterDesign& design, FrequencyGrid& grid) {
    FilterSettings& settings = session.operation_settings.filter;
    PromptRequest band = kept_answer_question(session, kPassBandPrompt, settings.band_answer);
    if (!session.ask(band)) return false;
    settings.band_answer = upper_trimmed(band.current);
    design.band_pass = selects_band_pass(settings.band_answer);

    double order = settings.order;
    if (!ask_number(session, kFilterOrderPrompt, order)) return false;
    settings.order = nearest_int(order);
    design.order = settings.order;

    if (!ask_number(session, design.band_pass ? kBandwidthPrompt : kCutoffPrompt, settings.cutoff_hz)) return false;
    design.cutoff_hz = settings.cutoff_hz;
    if (design.band_pass && !ask_number(session, kMidFrequencyPrompt, settings.mid_hz)) return false;
    design.mid_hz = design.band_pass ? settings.mid_hz : 0.0;
    if (chebyshev && !ask_number(session, kRipplePrompt, settings.ripple_db)) return false;
    design.ripple_db = chebyshev ? settings.ripple_db : 0.0;

    grid.carrier_hz = 0.0;
    if (design.band_pass) {
        // The mid frequency is the default reply: Enter moves the pass band to zero frequency.
        std::array<double, 4> carrier{settings.carrier_hz, 0, 0, 0};
        const std::string mid_text = current_values_text({settings.mid_hz, 0, 0, 0}, 1);
        if (!session.ask_numbers(kCarrierPrompt, mid_text, carrier, 1)) return false;
        settings.carrier_hz = carrier[0];
        grid.carrier_hz = settings.carrier_hz;
    }
    return true;
}

// H(s): the response for every sample is evaluated first, so an interpreter
// error leaves the signal as it was.
bool apply_typed_filter(Session& session, SignalRef& signal) {
    FilterSettings& settings = session.operation_settings.filter;
    PromptRequest formula = kept_answer_question(session, kTransferFunctionPrompt, settings.transfer_function);
    if (!session.ask(formula)) return false;
    settings.transfer_function = formula.current;
    TypedTransferFunction transfer(session.interpreter, upper_trimmed(settings.transfer_function));
    const ResponseFormula response = [&transfer](double omega, Complex& h) { return transfer(omega, h); };
    if (Status status = apply_response_formula(signal.samples(), FrequencyGrid{signal.dx, 0.0}, response);
        !status) {
        session.workspace.message_line = status.message;
        return false;
    }
    return true;
}

}  // namespace

bool filter_dialogue(Session& session, SignalRef& signal) {
    Workspace& workspace = session.workspace;
    FilterSettings& settings = session.operation_settings.filter;
    if (!signal.spectrum()) workspace.message_line = kFilterWaveformWarning;

    PromptRequest type = kept_answer_question(session, kFilterTypePrompt, settings.type_answer);
    if (!session.ask(type)) return false;
    settings.type_answer = upper_trimmed(type.current);
    const Result<FilterFamily> known = parse_filter_family(settings.type_answer);
    const FilterFamily family = known ? known.value() : FilterFamily::butterworth;

    if (known && family == FilterFamily::hilbert) {
        apply_hilbert(signal.samples());
        return true;
    }
    if (known && family == FilterFamily::typed) return apply_typed_filter(session, signal);

    // An unknown type still asks the design questions before it is refused.
    FilterDesign design;
    FrequencyGrid grid{signal.dx, 0.0};
    if (!ask_design(session, known && family == FilterFamily::chebyshev, design, grid)) return false;
    if (!known) {
        workspace.message_line = known.message();
        return false;
    }
    design.family = family;
    if (Status status = apply_designed_filter(signal.samples(), grid, design); !status) {
        workspace.message_line = status.message;
        return false;
    }
    return true;
}

}  // namespace zeph
