// Placeholder until this subsystem lands.
#include "store/classes.h"
#include <stdexcept>

std::string save_class_type(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_class_types(const std::string&) { throw std::logic_error("not built yet"); }
std::string delete_class_type(const std::string&) { throw std::logic_error("not built yet"); }
std::string save_class(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_classes(const std::string&) { throw std::logic_error("not built yet"); }
std::string delete_class(const std::string&) { throw std::logic_error("not built yet"); }
