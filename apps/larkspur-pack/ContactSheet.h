// ContactSheet: renders the creature of a creature pack into PNG sheets for
// checking it by eye, through the same loading, animation and drawing code
// the screensaver uses, in a headless OpenGL context.
#pragma once

#include <string>

// One row per animation of the creature (first, middle and last frame, from
// the side and from three quarters), written to `out`; and, when coatsOut is
// not empty, every coat of the pack on the standing creature; and, when
// portraitsOut is not empty, every coat close up from three quarters in
// front, from the side and from above.
// False with *error set when the pack or the context cannot be used.
bool WriteContactSheets(const std::string& pack, const std::string& out, const std::string& coatsOut,
                        std::string* error, const std::string& portraitsOut = "");
