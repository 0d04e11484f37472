#include "platform/window_list.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/window_system.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

// xcb replies are malloc'ed and must be freed with free().
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

// The X connection that Qt opened, or null when the program does not run on
// X11. Our requests share it with Qt: every reply is taken with an error
// out-parameter, so no error of ours ever reaches Qt's event handling.
xcb_connection_t* XConnection() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (app == nullptr) return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), &error));
  std::free(error);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

struct Atoms {
  xcb_atom_t net_wm_pid = XCB_ATOM_NONE;
  xcb_atom_t net_wm_name = XCB_ATOM_NONE;
  xcb_atom_t utf8_string = XCB_ATOM_NONE;
  xcb_atom_t net_client_list_stacking = XCB_ATOM_NONE;
};

const Atoms& AtomsOf(xcb_connection_t* c) {
  static xcb_connection_t* interned_for = nullptr;
  static Atoms atoms;
  if (interned_for != c) {
    atoms.net_wm_pid = Atom(c, "_NET_WM_PID");
    atoms.net_wm_name = Atom(c, "_NET_WM_NAME");
    atoms.utf8_string = Atom(c, "UTF8_STRING");
    atoms.net_client_list_stacking = Atom(c, "_NET_CLIENT_LIST_STACKING");
    interned_for = c;
  }
  return atoms;
}

// A property's raw value; empty when the window or the property is missing
// or has another type (`type` XCB_ATOM_ANY takes any). `type_out` receives
// the type the property has.
std::string Property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                     xcb_atom_t* type_out = nullptr) {
  if (property == XCB_ATOM_NONE) return {};
  // Long enough for any title a person would read; longer ones are cut.
  constexpr std::uint32_t kMaxLongs = 1u << 16;
  xcb_generic_error_t* error = nullptr;
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, window, property, type, 0, kMaxLongs), &error));
  std::free(error);
  if (!reply || reply->type == XCB_ATOM_NONE) return {};
  if (type != XCB_ATOM_ANY && reply->type != type) return {};
  if (type_out != nullptr) *type_out = reply->type;
  const char* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
  int length = xcb_get_property_value_length(reply.get());
  return std::string(value, static_cast<std::size_t>(std::max(length, 0)));
}

std::vector<WindowHandle> X11TopLevelWindows(xcb_connection_t* c) {
  std::vector<WindowHandle> windows;
  const Atoms& atoms = AtomsOf(c);
  for (xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(c)); screen.rem;
       xcb_screen_next(&screen)) {
    xcb_window_t root = screen.data->root;
    std::vector<xcb_window_t> bottom_up;
    // With a window manager the root's children are its frames; the clients
    // inside them are the windows a program knows.
    std::string clients = Property(c, root, atoms.net_client_list_stacking, XCB_ATOM_WINDOW);
    if (clients.size() >= sizeof(xcb_window_t)) {
      bottom_up.resize(clients.size() / sizeof(xcb_window_t));
      std::memcpy(bottom_up.data(), clients.data(), bottom_up.size() * sizeof(xcb_window_t));
    } else {
      xcb_generic_error_t* error = nullptr;
      XcbReply<xcb_query_tree_reply_t> tree(
          xcb_query_tree_reply(c, xcb_query_tree(c, root), &error));
      std::free(error);
      if (!tree) continue;
      xcb_window_t* children = xcb_query_tree_children(tree.get());
      bottom_up.assign(children, children + xcb_query_tree_children_length(tree.get()));
    }
    // Both lists run from the bottom of the stack up; the walk goes topmost first.
    for (auto it = bottom_up.rbegin(); it != bottom_up.rend(); ++it) windows.push_back(*it);
  }
  return windows;
}

XcbReply<xcb_get_window_attributes_reply_t> X11Attributes(xcb_connection_t* c,
                                                          WindowHandle window) {
  if (window == 0 || window > UINT32_MAX) return nullptr;
  xcb_generic_error_t* error = nullptr;
  XcbReply<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
      c, xcb_get_window_attributes(c, static_cast<xcb_window_t>(window)), &error));
  std::free(error);
  return reply;
}

// Elsewhere than on X11: the program's own top-level windows that have a
// native window, the most recently made first.
std::vector<WindowHandle> OwnTopLevelWindows() {
  std::vector<WindowHandle> windows;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return windows;
  const QWindowList all = QGuiApplication::topLevelWindows();
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    if ((*it)->handle() != nullptr) windows.push_back(static_cast<WindowHandle>((*it)->winId()));
  }
  return windows;
}

QWindow* OwnWindow(WindowHandle window) {
  if (window == 0 || qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    return nullptr;
  }
  for (QWindow* w : QGuiApplication::topLevelWindows()) {
    if (w->handle() != nullptr && static_cast<WindowHandle>(w->winId()) == window) return w;
  }
  return nullptr;
}

// The list the current walk goes along, taken when it started from 0.
std::vector<WindowHandle>& Walk() {
  static std::vector<WindowHandle> walk;
  return walk;
}

}  // namespace

WindowHandle NextTopLevelWindow(WindowHandle after) {
  std::vector<WindowHandle>& walk = Walk();
  if (after == 0) {
    xcb_connection_t* c = XConnection();
    walk = c != nullptr ? X11TopLevelWindows(c) : OwnTopLevelWindows();
    return walk.empty() ? 0 : walk.front();
  }
  auto it = std::find(walk.begin(), walk.end(), after);
  if (it == walk.end() || ++it == walk.end()) return 0;
  return *it;
}

bool IsWindowAlive(WindowHandle window) {
  if (xcb_connection_t* c = XConnection()) return X11Attributes(c, window) != nullptr;
  return OwnWindow(window) != nullptr;
}

bool IsWindowShown(WindowHandle window) {
  if (xcb_connection_t* c = XConnection()) {
    auto attributes = X11Attributes(c, window);
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
  }
  QWindow* w = OwnWindow(window);
  return w != nullptr && w->isVisible();
}

std::int64_t WindowProcessId(WindowHandle window) {
  if (xcb_connection_t* c = XConnection()) {
    if (window == 0 || window > UINT32_MAX) return 0;
    std::string pid =
        Property(c, static_cast<xcb_window_t>(window), AtomsOf(c).net_wm_pid, XCB_ATOM_CARDINAL);
    if (pid.size() < sizeof(std::uint32_t)) return 0;
    std::uint32_t value = 0;
    std::memcpy(&value, pid.data(), sizeof value);
    return value;
  }
  return OwnWindow(window) != nullptr ? static_cast<std::int64_t>(getpid()) : 0;
}

Text WindowTitle(WindowHandle window) {
  if (xcb_connection_t* c = XConnection()) {
    if (window == 0 || window > UINT32_MAX) return {};
    auto id = static_cast<xcb_window_t>(window);
    const Atoms& atoms = AtomsOf(c);
    std::string name = Property(c, id, atoms.net_wm_name, atoms.utf8_string);
    if (!name.empty()) return TextFromUtf8(name);
    xcb_atom_t type = XCB_ATOM_NONE;
    name = Property(c, id, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, &type);
    // WM_NAME is Latin-1 (STRING) by the conventions, UTF-8 where a client
    // says so; compound text is read as Latin-1, right for its ASCII part.
    if (type == atoms.utf8_string) return TextFromUtf8(name);
    return TextFromQString(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  }
  QWindow* w = OwnWindow(window);
  return w != nullptr ? TextFromQString(w->title()) : Text();
}

Text WindowClassName(WindowHandle window) {
  if (xcb_connection_t* c = XConnection()) {
    if (window == 0 || window > UINT32_MAX) return {};
    // "instance\0class\0": the class is the second string.
    std::string value =
        Property(c, static_cast<xcb_window_t>(window), XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    std::size_t end_of_instance = value.find('\0');
    std::string name =
        end_of_instance == std::string::npos ? value : value.substr(end_of_instance + 1);
    name = name.substr(0, name.find('\0'));
    return TextFromQString(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  }
  // The class the X11 platform would give the program's windows.
  return OwnWindow(window) != nullptr ? TextFromQString(QCoreApplication::applicationName())
                                      : Text();
}

void WaitForWindowEvents(int max_ms) {
  if (max_ms <= 0) return;
  QElapsedTimer elapsed;
  elapsed.start();
  if (QCoreApplication::instance() != nullptr) {
    QEventLoop loop;
    QTimer::singleShot(max_ms, &loop, &QEventLoop::quit);
    loop.exec();
  }
  // An event loop returns at once while the program is quitting; sleep the
  // rest so that a caller's loop does not spin.
  qint64 rest = max_ms - elapsed.elapsed();
  if (rest > 0) std::this_thread::sleep_for(std::chrono::milliseconds(rest));
}

}  // namespace shorturl
