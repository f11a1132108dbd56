#include "display/customer_display.h"

#include <algorithm>

namespace dovevid::display {

namespace {

constexpr int kGreetingWord = 31;
constexpr char kGreetingFallback[] = "*** Bonjour ***";

std::string SettingsText(int speed) { return std::to_string(speed) + ",N,8,1"; }

}  // namespace

std::string ShownRow(const std::string& row, int width) {
  return row.empty() ? std::string(static_cast<size_t>(std::max(0, width)), ' ') : row;
}

SerialDisplay::SerialDisplay(Env& env, TraceLog& trace, const config::Settings& settings,
                             SerialLink& link)
    : env_(env),
      trace_(trace),
      settings_(settings),
      link_(link),
      link_settings_(SettingsText(kDisplaySpeed)) {}

void SerialDisplay::Start() {
  OpenPort();
  ResetDisplay();
  Bonjour();
}

void SerialDisplay::Reopen() {
  ClosePort();
  OpenPort();
}

void SerialDisplay::Shutdown() {
  ResetDisplay();
  Attendi(env_, 100);
  ClosePort();
}

bool SerialDisplay::ProgrammaPortaSeriale(int port, int speed) {
  if (!Sl()) return true;
  if (port < 1 || port > 255 || speed <= 0) {
    trace_.WriteErrorLog("AsemDisplay_ProgrammaPortaSeriale",
                         Status::Error(fault::kInvalidPortNumber, "Invalid port number"));
    return false;
  }
  link_settings_ = SettingsText(speed);
  return true;
}

void SerialDisplay::OpenPort() {
  const int port = settings_.display_com_port;
  if (port <= 0 || !Sl()) return;
  // Programmed at every open from the current settings, whatever the enable
  // box says, so the port is never opened with settings left from before.
  if (!ProgrammaPortaSeriale(port, kDisplaySpeed)) return;
  const Status st = OpenLink();
  if (!st.ok()) trace_.WriteErrorLog("AsemDisplay_OpenPort", st);
}

void SerialDisplay::ClosePort() {
  if (Sl() && link_.IsOpen()) link_.Close();
}

Status SerialDisplay::OpenLink() {
  const int port = settings_.display_com_port;
  if (link_.IsOpen() && port == open_port_) return Status::OK();
  // Open on a port that is no longer the display's (changed while the input
  // type was text, or without a reopen): never write there.
  link_.Close();
  if (port <= 0) return Status::Error(fault::kInvalidPortNumber, "No display port");
  Status st = link_.Open(port, link_settings_);
  if (st.ok()) open_port_ = port;
  return st;
}

void SerialDisplay::Send(std::string_view routine, const std::string& bytes) {
  Status st = OpenLink();
  if (st.ok()) {
    st = link_.Write(bytes);
    if (!st.ok()) link_.Close();
  }
  if (!st.ok()) trace_.WriteErrorLog(routine, st);
}

void SerialDisplay::ResetDisplay() {
  if (Active()) Send("AsemDisplay_ResetDisplay", {kHome, kClear});
}

void SerialDisplay::Bonjour() {
  if (!Active()) return;
  const std::string& word = settings_.txtWords[kGreetingWord];
  Send("AsemDisplay_Bonjour",
       std::string{kHome, kClear} + (word.empty() ? kGreetingFallback : word));
}

int SerialDisplay::RowWidth() const { return settings_.display_line_length; }

void SerialDisplay::SendToDisplay(const std::string& row1, const std::string& row2) {
  if (!Active()) return;
  const int width = RowWidth();
  Send("AsemDisplay_SendToDisplay", std::string{kHome, kClear} + ShownRow(row1, width) +
                                        std::string{kHome, kDown} + ShownRow(row2, width));
}

}  // namespace dovevid::display
