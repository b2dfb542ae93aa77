// The desktop window on GTK 3 with one WebKitGTK 4.1 view filling it.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdio>
#include <utility>

#include "app/app_icon.h"
#include "app/page_bridge.h"
#include "app/text.h"
#include "app/ui_task_queue.h"
#include "app/window.h"
#include "app/window_geometry.h"
#include "app/zoom_levels.h"

namespace {

constexpr char kProductName[] = "Ringtally Zuzu";
// The browser's data is cleared at exit; a network process that does not
// answer must not keep the application from ending.
constexpr guint kClearDataTimeoutMs = 3000;

void show_failure(const std::string& text) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                             GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), kProductName);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

// The built-in icon images, also used by the dialogs the window opens.
void install_icon() {
  GList* icons = nullptr;
  for (std::string_view png : app_icon_pngs()) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (!loader) continue;
    gboolean written = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(png.data()),
                                               png.size(), nullptr);
    gboolean closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* image = gdk_pixbuf_loader_get_pixbuf(loader);
    if (written && closed && image) icons = g_list_append(icons, g_object_ref(image));
    g_object_unref(loader);
  }
  gtk_window_set_default_icon_list(icons);
  g_list_free_full(icons, g_object_unref);
}

// The display's text resolution; 0 when the toolkit does not know it.
int display_dpi() {
  double resolution = gdk_screen_get_resolution(gdk_screen_get_default());
  return resolution > 0 ? static_cast<int>(std::lround(resolution)) : 0;
}

class GtkDesktopWindow final : public Window {
 public:
  explicit GtkDesktopWindow(const WindowSettings& settings)
      : title_(settings.title), page_(settings.page), automation_(settings.automation) {}
  ~GtkDesktopWindow() override {
    tasks_.close();
    if (window_) gtk_widget_destroy(window_);
    if (print_action_) g_object_unref(print_action_);
  }

  bool build(std::string* failure);

  void dispatch(std::function<void()> task) override {
    if (tasks_.push(std::move(task))) g_idle_add_full(G_PRIORITY_DEFAULT, run_tasks, this, nullptr);
  }

  void post_message(const std::string& message) override {
    if (!view_) return;
    std::string script = reply_delivery_script(message);
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(view_), script.data(),
                                        static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
  }

  void choose_contest_file(const std::string& folder,
                           std::function<void(const std::string&)> done) override;

  void run(WindowHandlers handlers) override {
    handlers_ = std::move(handlers);
    gtk_widget_show_all(window_);
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(view_), page_.c_str(), nullptr);
    gtk_widget_grab_focus(view_);
    if (!quit_) gtk_main();
    tasks_.close();
  }

 private:
  GtkWidget* build_find_bar();
  WebKitUserContentManager* build_page_channel();

  static gboolean run_tasks(gpointer self) {
    return static_cast<GtkDesktopWindow*>(self)->tasks_.run_queued() ? G_SOURCE_CONTINUE
                                                                     : G_SOURCE_REMOVE;
  }

  // Closing, in order: card server, browser data, the open-file wait, the view.
  static void on_destroy(GtkWidget*, gpointer data);
  static void on_data_cleared(GObject* manager, GAsyncResult* result, gpointer data);
  static gboolean on_clear_timeout(gpointer data);
  void quit_loop();
  void close_dialogs();
  static gboolean on_unix_signal(gpointer data);
  static void on_view_close(WebKitWebView*, gpointer data);

  static void on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                gpointer data);
  static void on_automation_started(WebKitWebContext*, WebKitAutomationSession* session,
                                    gpointer data);
  static WebKitWebView* on_create_web_view(WebKitAutomationSession*, gpointer data);

  void finish_dialog(const std::string& path);
  static void preset_file_name(GtkWidget* dialog, const char* name);
  static void on_dialog_response(GtkDialog* dialog, gint response, gpointer data);

  static gboolean on_key_press(GtkWidget*, GdkEventKey* event, gpointer data);
  void zoom(int direction);
  void show_find_bar();
  static void on_find_changed(GtkSearchEntry* entry, gpointer data);
  static void on_find_next(GtkWidget*, gpointer data);
  static void on_find_previous(GtkWidget*, gpointer data);
  static void on_find_stop(GtkSearchEntry*, gpointer data);
  static void on_find_mode(GObject*, GParamSpec*, gpointer data);
  WebKitFindController* finder() {
    return webkit_web_view_get_find_controller(WEBKIT_WEB_VIEW(view_));
  }

  void start_print(WebKitPrintOperation* operation);
  static gboolean run_print(gpointer data);
  static void on_print_action(GSimpleAction*, GVariant*, gpointer data);
  static gboolean on_page_print(WebKitWebView*, WebKitPrintOperation* operation, gpointer data);
  static gboolean on_context_menu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                  WebKitHitTestResult*, gpointer data);

  std::string title_;
  std::string page_;  // NUL-terminated copy for the view
  bool automation_;
  GtkWidget* window_ = nullptr;
  GtkWidget* view_ = nullptr;
  GtkWidget* find_bar_ = nullptr;
  GtkWidget* find_entry_ = nullptr;
  WebKitWebContext* context_ = nullptr;
  GSimpleAction* print_action_ = nullptr;
  WebKitPrintOperation* pending_print_ = nullptr;
  UiTaskQueue tasks_;
  WindowHandlers handlers_;
  GtkWidget* dialog_ = nullptr;
  std::function<void(const std::string&)> dialog_done_;
  bool closing_ = false;
  bool quit_ = false;
  guint clear_timeout_ = 0;
};

bool GtkDesktopWindow::build(std::string* failure) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (!window_) {
    *failure = "Call to CreateWindow failed!";
    return false;
  }
  gtk_window_set_title(GTK_WINDOW(window_), title_.c_str());
  WindowSize size = scaled_window_size(display_dpi());
  gtk_window_set_default_size(GTK_WINDOW(window_), size.width, size.height);
  g_signal_connect(window_, "destroy", G_CALLBACK(on_destroy), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(on_key_press), this);

  context_ = webkit_web_context_get_default();
  if (automation_) {
    webkit_web_context_set_automation_allowed(context_, TRUE);
    g_signal_connect(context_, "automation-started", G_CALLBACK(on_automation_started), this);
  }
  WebKitUserContentManager* channel = build_page_channel();
  view_ = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_,
                                  "user-content-manager", channel, "is-controlled-by-automation",
                                  automation_ ? TRUE : FALSE, nullptr));
  g_object_unref(channel);
  if (!view_) {
    *failure = "Call to CreateWindow failed!";
    return false;
  }
  g_signal_connect(view_, "close", G_CALLBACK(on_view_close), this);
  g_signal_connect(view_, "print", G_CALLBACK(on_page_print), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(on_context_menu), this);
  print_action_ = g_simple_action_new("print", nullptr);
  g_signal_connect(print_action_, "activate", G_CALLBACK(on_print_action), this);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(column), build_find_bar(), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(column), view_, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), column);

  // Installed before the worker and card-server threads start, so that a
  // signal never meets the default handler and kills the process mid-way.
  g_unix_signal_add(SIGINT, on_unix_signal, this);
  g_unix_signal_add(SIGTERM, on_unix_signal, this);
  return true;
}

// window.chrome.webview for the page, and the handler its messages reach.
WebKitUserContentManager* GtkDesktopWindow::build_page_channel() {
  WebKitUserContentManager* channel = webkit_user_content_manager_new();
  std::string source(kWebviewScript);
  WebKitUserScript* script =
      webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(channel, script);
  webkit_user_script_unref(script);
  std::string signal = std::string("script-message-received::") + kPageMessageHandler;
  g_signal_connect(channel, signal.c_str(), G_CALLBACK(on_script_message), this);
  webkit_user_content_manager_register_script_message_handler(channel, kPageMessageHandler);
  return channel;
}

GtkWidget* GtkDesktopWindow::build_find_bar() {
  find_bar_ = gtk_search_bar_new();
  find_entry_ = gtk_search_entry_new();
  gtk_entry_set_width_chars(GTK_ENTRY(find_entry_), 32);
  gtk_container_add(GTK_CONTAINER(find_bar_), find_entry_);
  gtk_search_bar_connect_entry(GTK_SEARCH_BAR(find_bar_), GTK_ENTRY(find_entry_));
  gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(find_bar_), TRUE);
  g_signal_connect(find_entry_, "search-changed", G_CALLBACK(on_find_changed), this);
  g_signal_connect(find_entry_, "activate", G_CALLBACK(on_find_next), this);
  g_signal_connect(find_entry_, "next-match", G_CALLBACK(on_find_next), this);
  g_signal_connect(find_entry_, "previous-match", G_CALLBACK(on_find_previous), this);
  g_signal_connect(find_entry_, "stop-search", G_CALLBACK(on_find_stop), this);
  g_signal_connect(find_bar_, "notify::search-mode-enabled", G_CALLBACK(on_find_mode), this);
  return find_bar_;
}

void GtkDesktopWindow::on_destroy(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (self->closing_) return;
  self->closing_ = true;
  if (self->handlers_.on_closing) self->handlers_.on_closing();
  WebKitWebsiteDataManager* website_data =
      webkit_web_context_get_website_data_manager(self->context_);
  webkit_website_data_manager_clear(website_data, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr,
                                    on_data_cleared, self);
  self->clear_timeout_ = g_timeout_add(kClearDataTimeoutMs, on_clear_timeout, self);
  // A worker waiting for the open-file dialog gets its answer now.
  self->finish_dialog(std::string());
  self->close_dialogs();
  // The view and the find bar go with the window, right after this handler.
  self->view_ = nullptr;
  self->find_bar_ = nullptr;
  self->find_entry_ = nullptr;
  self->window_ = nullptr;
}

void GtkDesktopWindow::on_data_cleared(GObject* manager, GAsyncResult* result, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager), result, nullptr);
  if (self->clear_timeout_) g_source_remove(self->clear_timeout_);
  self->clear_timeout_ = 0;
  self->quit_loop();
}

gboolean GtkDesktopWindow::on_clear_timeout(gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  self->clear_timeout_ = 0;
  self->quit_loop();
  return G_SOURCE_REMOVE;
}

// A dialog that runs its own loop (printing) would keep the application
// alive after its window has gone; cancelling it ends that loop, and its
// owner then destroys it.
void GtkDesktopWindow::close_dialogs() {
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item; item = item->next) g_object_ref(item->data);
  for (GList* item = toplevels; item; item = item->next) {
    GtkWidget* widget = GTK_WIDGET(item->data);
    if (widget != window_ && GTK_IS_DIALOG(widget))
      gtk_dialog_response(GTK_DIALOG(widget), GTK_RESPONSE_CANCEL);
  }
  g_list_free_full(toplevels, g_object_unref);
}

void GtkDesktopWindow::quit_loop() {
  if (quit_) return;
  quit_ = true;
  if (gtk_main_level() > 0) gtk_main_quit();
}

// SIGINT and SIGTERM close the window as its close box would, but by
// destroying it: a close request is ignored while a modal dialog is up.
gboolean GtkDesktopWindow::on_unix_signal(gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (!self->closing_ && self->window_) gtk_widget_destroy(self->window_);
  return G_SOURCE_CONTINUE;
}

// The end of an automation session closes its browsing context: our window.
void GtkDesktopWindow::on_view_close(WebKitWebView*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (!self->closing_ && self->window_) gtk_widget_destroy(self->window_);
}

void GtkDesktopWindow::on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                         gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  // The page posts only strings; anything else has no reply id to answer.
  if (!jsc_value_is_string(value)) return;
  // As bytes: the plain string conversion would stop at an embedded NUL.
  GBytes* bytes = jsc_value_to_string_as_bytes(value);
  gsize size = 0;
  const char* text = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string message(text ? text : "", text ? size : 0);
  g_bytes_unref(bytes);
  if (self->handlers_.on_message && !self->closing_)
    self->handlers_.on_message(make_valid_utf8(message));
}

void GtkDesktopWindow::on_automation_started(WebKitWebContext*, WebKitAutomationSession* session,
                                             gpointer data) {
  WebKitApplicationInfo* info = webkit_application_info_new();
  webkit_application_info_set_name(info, kProductName);
  webkit_application_info_set_version(info, 1, 2, 0);
  webkit_automation_session_set_application_info(session, info);
  webkit_application_info_unref(info);
  g_signal_connect(session, "create-web-view", G_CALLBACK(on_create_web_view), data);
}

WebKitWebView* GtkDesktopWindow::on_create_web_view(WebKitAutomationSession*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  return self->view_ ? WEBKIT_WEB_VIEW(self->view_) : nullptr;
}

void GtkDesktopWindow::choose_contest_file(const std::string& folder,
                                           std::function<void(const std::string&)> done) {
  if (closing_ || dialog_) {
    done(std::string());
    return;
  }
  dialog_ = gtk_file_chooser_dialog_new(nullptr, GTK_WINDOW(window_), GTK_FILE_CHOOSER_ACTION_OPEN,
                                        "_Cancel", GTK_RESPONSE_CANCEL, "_Open",
                                        GTK_RESPONSE_ACCEPT, nullptr);
  dialog_done_ = std::move(done);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog_);
  gtk_window_set_modal(GTK_WINDOW(dialog_), TRUE);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog_), TRUE);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_select_multiple(chooser, FALSE);
  struct {
    const char* name;
    const char* pattern;
  } const kinds[] = {
      {"Contest Database", "contest.db"}, {"Database Files", "*.db"}, {"All Files", "*"}};
  for (const auto& kind : kinds) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, kind.name);
    gtk_file_filter_add_pattern(filter, kind.pattern);
    gtk_file_chooser_add_filter(chooser, filter);
    if (kind.pattern == kinds[0].pattern) gtk_file_chooser_set_filter(chooser, filter);
  }
  if (!folder.empty()) gtk_file_chooser_set_current_folder(chooser, folder.c_str());
  g_signal_connect(dialog_, "response", G_CALLBACK(on_dialog_response), this);
  gtk_widget_show(dialog_);
  preset_file_name(dialog_, "contest.db");
}

// An open dialog has no name box of its own; its location entry, opened
// with the name typed in, serves as one.
void GtkDesktopWindow::preset_file_name(GtkWidget* dialog, const char* name) {
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  GList* children = gtk_container_get_children(GTK_CONTAINER(content));
  for (GList* item = children; item; item = item->next)
    if (GTK_IS_FILE_CHOOSER_WIDGET(item->data))
      g_signal_emit_by_name(item->data, "location-popup", name);
  g_list_free(children);
}

void GtkDesktopWindow::on_dialog_response(GtkDialog* dialog, gint response, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  std::string path;
  if (response == GTK_RESPONSE_ACCEPT) {
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen) path = chosen;
    g_free(chosen);
  }
  self->finish_dialog(path);
}

// Ends the dialog, if one is up, and answers its waiter exactly once.
void GtkDesktopWindow::finish_dialog(const std::string& path) {
  std::function<void(const std::string&)> done = std::move(dialog_done_);
  dialog_done_ = nullptr;
  GtkWidget* dialog = dialog_;
  dialog_ = nullptr;
  if (dialog) gtk_widget_destroy(dialog);
  if (done) done(path);
}

// The browser control's own shortcuts that WebKitGTK leaves to its host.
gboolean GtkDesktopWindow::on_key_press(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  GdkModifierType modifiers =
      static_cast<GdkModifierType>(event->state & gtk_accelerator_get_default_mod_mask());
  if (!(modifiers & GDK_CONTROL_MASK) || (modifiers & ~(GDK_CONTROL_MASK | GDK_SHIFT_MASK)))
    return FALSE;
  if (!self->view_) return FALSE;
  switch (gdk_keyval_to_lower(event->keyval)) {
    case GDK_KEY_p:
      self->start_print(nullptr);
      return TRUE;
    case GDK_KEY_f:
      self->show_find_bar();
      return TRUE;
    case GDK_KEY_plus:
    case GDK_KEY_equal:
    case GDK_KEY_KP_Add:
      self->zoom(1);
      return TRUE;
    case GDK_KEY_minus:
    case GDK_KEY_underscore:
    case GDK_KEY_KP_Subtract:
      self->zoom(-1);
      return TRUE;
    case GDK_KEY_0:
    case GDK_KEY_KP_0:
      self->zoom(0);
      return TRUE;
    default:
      return FALSE;  // Ctrl+V and the rest go to the focused widget
  }
}

void GtkDesktopWindow::zoom(int direction) {
  WebKitWebView* view = WEBKIT_WEB_VIEW(view_);
  webkit_web_view_set_zoom_level(view,
                                 next_zoom_level(webkit_web_view_get_zoom_level(view), direction));
}

void GtkDesktopWindow::show_find_bar() {
  gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(find_bar_), TRUE);
  gtk_widget_grab_focus(find_entry_);
  gtk_editable_select_region(GTK_EDITABLE(find_entry_), 0, -1);
}

void GtkDesktopWindow::on_find_changed(GtkSearchEntry* entry, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (!self->view_) return;
  const char* text = gtk_entry_get_text(GTK_ENTRY(entry));
  if (!text || !*text) {
    webkit_find_controller_search_finish(self->finder());
    return;
  }
  webkit_find_controller_search(
      self->finder(), text, WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND,
      G_MAXUINT);
}

void GtkDesktopWindow::on_find_next(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (self->view_) webkit_find_controller_search_next(self->finder());
}

void GtkDesktopWindow::on_find_previous(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (self->view_) webkit_find_controller_search_previous(self->finder());
}

void GtkDesktopWindow::on_find_stop(GtkSearchEntry*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (self->find_bar_) gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(self->find_bar_), FALSE);
}

void GtkDesktopWindow::on_find_mode(GObject*, GParamSpec*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  if (!self->view_ || gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(self->find_bar_))) return;
  webkit_find_controller_search_finish(self->finder());
  gtk_widget_grab_focus(self->view_);
}

// Printing runs its own modal dialog; it is started from an idle callback so
// that the key press, menu click or page call that asked for it has ended.
// `operation` is the page's own (window.print()) or null for a new one.
void GtkDesktopWindow::start_print(WebKitPrintOperation* operation) {
  if (closing_ || pending_print_) return;
  pending_print_ = operation ? WEBKIT_PRINT_OPERATION(g_object_ref(operation))
                             : webkit_print_operation_new(WEBKIT_WEB_VIEW(view_));
  g_idle_add(run_print, this);
}

gboolean GtkDesktopWindow::run_print(gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  WebKitPrintOperation* operation = self->pending_print_;
  if (!self->closing_ && self->window_)
    webkit_print_operation_run_dialog(operation, GTK_WINDOW(self->window_));
  self->pending_print_ = nullptr;
  g_object_unref(operation);
  return G_SOURCE_REMOVE;
}

void GtkDesktopWindow::on_print_action(GSimpleAction*, GVariant*, gpointer data) {
  static_cast<GtkDesktopWindow*>(data)->start_print(nullptr);
}

gboolean GtkDesktopWindow::on_page_print(WebKitWebView*, WebKitPrintOperation* operation,
                                         gpointer data) {
  static_cast<GtkDesktopWindow*>(data)->start_print(operation);
  return TRUE;
}

gboolean GtkDesktopWindow::on_context_menu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                           WebKitHitTestResult*, gpointer data) {
  auto* self = static_cast<GtkDesktopWindow*>(data);
  webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(
                                       G_ACTION(self->print_action_), "Print", nullptr));
  return FALSE;
}

bool is_set(const char* variable) {
  const char* value = g_getenv(variable);
  return value && *value;
}

// Initialises GTK on the display the environment names: "" when it opened,
// else the sentence saying why not. The command line is not handed to GTK:
// the application reads none.
std::string open_display() {
  std::string needs = std::string(kProductName) + " needs a graphical display: ";
  if (!is_set("DISPLAY") && !is_set("WAYLAND_DISPLAY"))
    return needs + "neither DISPLAY nor WAYLAND_DISPLAY is set.";
  int argc = 0;
  char** argv = nullptr;
  GError* error = nullptr;
  if (gtk_init_with_args(&argc, &argv, nullptr, nullptr, nullptr, &error)) return std::string();
  // GTK's reason names the display only when it came from the command line.
  std::string reason = error ? error->message : "";
  g_clear_error(&error);
  reason.erase(reason.find_last_not_of(": ") + 1);
  const char* name = is_set("DISPLAY") ? g_getenv("DISPLAY") : g_getenv("WAYLAND_DISPLAY");
  return needs + "GTK could not open the display " + name +
         (reason.empty() ? "." : " (" + reason + ").");
}

}  // namespace

std::unique_ptr<Window> create_window(const WindowSettings& settings, std::string* failure) {
  g_set_prgname("ringtally");
  g_set_application_name(kProductName);
  *failure = open_display();
  if (!failure->empty()) {
    // Without a display there is nowhere to show a dialog.
    fprintf(stderr, "%s\n", failure->c_str());
    return nullptr;
  }
  install_icon();
  auto window = std::make_unique<GtkDesktopWindow>(settings);
  if (!window->build(failure)) {
    show_failure(*failure);
    return nullptr;
  }
  return window;
}
