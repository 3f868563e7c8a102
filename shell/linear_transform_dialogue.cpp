#include "shell/linear_transform_dialogue.hpp"

namespace zeph {

namespace {

// The prompt of the constants and how many values it asks for.
struct ConstantsQuestion {
    std::string prompt;
    int count;
};

ConstantsQuestion constants_question(LinearTransformType type, bool spectrum) {
    // The third constant is the reciprocal of the abscissa: f on a waveform, t on a spectrum.
    const std::string variable = spectrum ? "t" : "f";
    switch (type) {
        case LinearTransformType::add: return {std::string(kAddConstantPrompt), 2};
        case LinearTransformType::multiply: return {std::string(kMultiplyConstantPrompt), 2};
        case LinearTransformType::exponential: return {std::string(kExponentialPrompt) + variable, 3};
        case LinearTransformType::cosine:
            return {std::string(kCosinePrompt) + variable + std::string(kCosinePromptTail), 4};
        case LinearTransformType::conjugate: break;
    }
    return {{}, 0};
}

}  // namespace

bool linear_transform_dialogue(Session& session, SignalRef& signal) {
    Workspace& workspace = session.workspace;
    LinearTransformSettings& settings = session.operation_settings.linear_transform;
    const std::string kept_letter(1, linear_transform_letter(settings.type));
    PromptRequest type = kept_answer_question(session, kLinearTransformTypePrompt, kept_letter);
    if (!session.ask(type)) return false;
    const Result<LinearTransformType> parsed = parse_linear_transform_type(type.current);
    if (!parsed) {
        workspace.message_line = parsed.message();
        return false;
    }
    settings.type = parsed.value();

    const ConstantsQuestion question = constants_question(settings.type, signal.spectrum());
    if (question.count > 0) {
        std::array<double, 4> constants{settings.a, settings.b, settings.f, settings.theta};
        if (!ask_kept_values(session, question.prompt, constants, question.count)) return false;
        settings.a = constants[0];
        settings.b = constants[1];
        settings.f = constants[2];
        settings.theta = constants[3];
    }
    apply_linear_transform(signal.samples(), signal.xmin, signal.dx, settings);
    return true;
}

}  // namespace zeph
