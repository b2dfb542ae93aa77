// The three pages, built into the application from ui/*.html at build time.
#pragma once
#include <string_view>

namespace ui {
extern const std::string_view main_page;     // the organiser's page
extern const std::string_view placing_page;  // the phones' Placing Card
extern const std::string_view reasons_page;  // the phones' Reasons Card
}  // namespace ui
