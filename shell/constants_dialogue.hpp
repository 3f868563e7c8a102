#pragma once
// DE (define a named constant or calculate) and SH (show the named values).
#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kDefinePrompt =
    "Ex: Z=COS(PI/4). Predef: PI,HAFPI,TWOPI,A,B,X,NPTS,XMIN,XMAX,TMIN,FMIN,DX,DT,DF";

void define_dialogue(Session& session);
void show_constants(Session& session);

// The name a DE reply defines: the non-blank characters before the first "=", cut to six.
std::string defined_name(std::string_view reply);
bool is_reserved_name(std::string_view name);

}  // namespace zeph
