// The built program on a real X server (Xvfb) with a real notification area (trayer), driven
// by X11 tools as a person and a window manager would; skipped where they are not installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "temp_dir.h"

namespace dovevid::testing {
namespace {

constexpr char kXvfb[] = "/usr/bin/Xvfb";
constexpr char kTrayer[] = "/usr/bin/trayer";
constexpr char kXdotool[] = "/usr/bin/xdotool";
// A pattern of xdotool's: the main window's caption begins so.
constexpr char kCaption[] = "^QNB DovEvid1 ";

std::vector<std::string> Xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> lines;
  std::istringstream out(RunProgram(kXdotool, args).out);
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

bool MainWindowShown() { return !Xdotool({"search", "--onlyvisible", "--name", kCaption}).empty(); }

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Inside(const Rect& o) const {
    return x >= o.x && y >= o.y && x + w <= o.x + o.w && y + h <= o.y + o.h;
  }
};

Rect Geometry(const std::string& window) {
  std::map<std::string, int> v;
  for (const std::string& line : Xdotool({"getwindowgeometry", "--shell", window})) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) v[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
  }
  return {v["X"], v["Y"], v["WIDTH"], v["HEIGHT"]};
}

// What a window manager does: minimise a window, ask it to close.
class X11 {
 public:
  explicit X11(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {}
  ~X11() { xcb_disconnect(c_); }
  bool ok() const { return xcb_connection_has_error(c_) == 0; }
  bool TrayOwned() {
    auto* r = xcb_get_selection_owner_reply(
        c_, xcb_get_selection_owner(c_, Atom("_NET_SYSTEM_TRAY_S0")), nullptr);
    const bool owned = r && r->owner != XCB_NONE;
    free(r);
    return owned;
  }
  // WM_STATE as a window manager keeps it: 3 (iconic) when minimised, 1 (normal) when shown.
  void SetState(xcb_window_t w, std::uint32_t state) {
    const std::uint32_t value[] = {state, XCB_NONE};
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, Atom("WM_STATE"), Atom("WM_STATE"), 32, 2,
                        value);
    xcb_flush(c_);
  }
  void Close(xcb_window_t w) {
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = w;
    e.type = Atom("WM_PROTOCOLS");
    e.data.data32[0] = Atom("WM_DELETE_WINDOW");
    e.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c_, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    xcb_flush(c_);
  }

 private:
  xcb_atom_t Atom(const char* name) {
    auto* r = xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : XCB_NONE;
    free(r);
    return atom;
  }
  xcb_connection_t* c_;
};

TEST(TrayTest, IconDocksDoubleClickShowsWindowAndClosingShutsDown) {
  for (const char* tool : {kXvfb, kTrayer, kXdotool}) {
    if (::access(tool, X_OK) != 0)
      GTEST_SKIP() << tool << " is not installed (Debian: xvfb, trayer, xdotool)";
  }
  int n = 100 + ::getpid() % 800;
  while (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) ++n;
  const std::string display = ":" + std::to_string(n);
  ::setenv("DISPLAY", display.c_str(), 1);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);  // the X11 notification area, not D-Bus
  TempDir dir;
  ChildProcess xvfb, trayer, program;
  // -noreset: else the server starts afresh when its first client leaves, dropping the others.
  ASSERT_TRUE(xvfb.Start(kXvfb,
                         {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
                         dir / "xvfb.log"));
  ASSERT_TRUE(WaitFor([&] { return X11(display).ok(); }));
  X11 x(display);
  ASSERT_TRUE(trayer.Start(kTrayer, {}, dir / "trayer.log"));
  ASSERT_TRUE(WaitFor([&] { return x.TrayOwned(); }, 10000)) << ReadFileOrEmpty(dir / "trayer.log");

  const std::string data = dir / "data";
  std::filesystem::create_directory(data);
  const std::vector<std::string> args = {"--data-dir", data, "--app-dir", dir.path()};
  ASSERT_TRUE(program.Start(DOVEVID_PATH, args, dir / "dovevid.log"));
  ASSERT_TRUE(WaitFor(MainWindowShown, 10000)) << ReadFileOrEmpty(dir / "dovevid.log");
  const auto main =
      static_cast<xcb_window_t>(std::stoul(Xdotool({"search", "--name", kCaption}).at(0)));
  // No printer port is configured: every poll answers E502 until shutdown.
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(data + "/SR_ERR.001"); }));

  // The icon sits in the notification area.
  const Rect tray = Geometry(Xdotool({"search", "--name", "panel"}).at(0));
  std::string icon;
  ASSERT_TRUE(WaitFor([&] {
    for (const std::string& w : Xdotool({"search", "--onlyvisible", "--classname", "dovevid"})) {
      if (Geometry(w).Inside(tray)) icon = w;
    }
    return !icon.empty();
  }));

  x.SetState(main, 3);
  ASSERT_TRUE(WaitFor([] { return !MainWindowShown(); })) << "minimising hides the window";
  const Rect r = Geometry(icon);
  Xdotool({"mousemove", "--sync", std::to_string(r.x + r.w / 2), std::to_string(r.y + r.h / 2),
           "click", "--repeat", "2", "--delay", "80", "1"});
  ASSERT_TRUE(WaitFor(MainWindowShown)) << "a double click on the icon shows the window";

  x.SetState(main, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the program sees each state
  x.SetState(main, 3);
  ASSERT_TRUE(WaitFor([] { return !MainWindowShown(); }));
  EXPECT_EQ(RunProgram(DOVEVID_PATH, args).exit_code, 0);  // a second start ends at once
  EXPECT_TRUE(WaitFor(MainWindowShown)) << "and the first one shows its window";

  // The data directory removed and made again: the program takes it over (lock and socket), so
  // `status` reaches it (1: running, printer not ready) instead of finding no server (3).
  std::filesystem::remove_all(data);
  std::filesystem::create_directory(data);
  const auto status = [&] { return RunProgram(DOVEVID_PATH, {"status", "--data-dir", data}); };
  EXPECT_TRUE(WaitFor([&] { return status().exit_code == 1; })) << ReadFileOrEmpty(dir / "dovevid.log");

  x.Close(main);
  EXPECT_EQ(program.Wait(10000), 0) << ReadFileOrEmpty(dir / "dovevid.log");
}

}  // namespace
}  // namespace dovevid::testing
