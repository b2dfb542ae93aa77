# Turns one assembled HTML page into a C++ string constant, byte for byte.
# Called with -DINPUT=<page> -DOUTPUT=<cpp> -DNAME=<name>.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE ${OUTPUT}
"// Generated from ui/${NAME}.html and its parts; edit those, not this file.
#include <string_view>
namespace ui {
static const char kBytes[] = {${bytes} 0};
extern const std::string_view ${NAME}_page(kBytes, ${size});
}  // namespace ui
")
