// dovevid: the program's entry point. `dovevid render` runs here, in a
// program that loads no Qt: vendors call it once per receipt in their test
// runs, and Qt's libraries would more than double its start-up. Every other command, the server and the window run in the
// full program (dovevid-program), which this process replaces itself with:
// same process id, same arguments, so services and scripts see no difference.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/render_command.h"
#include "platform/user_settings.h"

namespace {

// Beside this program in a build tree; in the libexec directory once
// installed.
std::string FullProgramPath() {
  const std::string dir = dovevid::platform::ExecutableDirectory();
  const std::string beside = dir + "/dovevid-program";
  if (::access(beside.c_str(), X_OK) == 0) return beside;
  return dir + "/" DOVEVID_PROGRAM_FROM_BINDIR;
}

}  // namespace

int main(int argc, char** argv) {
  // As in the full program: files made in the shared data directory stay
  // writable for its group.
  ::umask(S_IWOTH);
  if (argc > 1 && std::string_view(argv[1]) == "render") {
    return dovevid::app::RunRenderCommand(std::vector<std::string>(argv + 2, argv + argc));
  }
  const std::string program = FullProgramPath();
  ::execv(program.c_str(), argv);
  std::cerr << "dovevid: cannot start " << program << ": " << std::strerror(errno) << '\n';
  return 127;
}
