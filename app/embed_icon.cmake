# Turns the rendered icon PNGs into one C++ array of byte strings.
# Called with -DINPUTS=<png>|<png>... -DOUTPUT=<cpp>.
string(REPLACE "|" ";" inputs "${INPUTS}")
set(arrays "")
set(views "")
set(index 0)
foreach(input ${inputs})
  file(READ ${input} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND arrays "const char kPng${index}[] = {${bytes} 0};\n")
  string(APPEND views "    std::string_view(kPng${index}, ${size}),\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}
"// Generated from ui/icons/ringtally.svg; edit the drawing, not this file.
#include \"app/app_icon.h\"
namespace {
${arrays}}  // namespace
const std::vector<std::string_view>& app_icon_pngs() {
  static const std::vector<std::string_view> pngs = {
${views}  };
  return pngs;
}
")
