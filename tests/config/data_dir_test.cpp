#include "config/data_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "fake_env.h"

namespace dovevid::config {
namespace {

// The product folder under the common application data, else the application
// directory; an existing override (one trailing slash dropped) wins, and
// --data-dir replaces everything. A missing directory is a fatal message.
TEST(DataDirectory, ProductFolderOverrideOrExplicitDirectory) {
  struct Case {
    std::vector<std::string> existing;
    std::string common, custom;
    std::optional<std::string> explicit_dir;
    std::string data_dir, before_override;  // data_dir: or the fatal message
  };
  const std::string product = "/var/lib/QNBKORV1";
  const Case cases[] = {
      {{}, "/var/lib", "", {}, product + " : DIR NON ESISTENTE", ""},
      {{product}, "/var/lib", "", {}, product, ""},
      {{}, "", "", {}, "/opt/dovevid/bin", ""},
      {{"/srv/pos"}, "/var/lib", "/srv/pos/", {}, "/srv/pos", ""},  // no product folder needed
      {{"/srv/pos", product}, "/var/lib", "/srv/pos/", {}, "/srv/pos", product},
      {{product}, "/var/lib", "/srv/missing", {}, product, ""},
      {{"/tmp/demo"}, "/var/lib", "/srv/pos", "/tmp/demo/", "/tmp/demo", ""},
      {{}, "/var/lib", "", "/tmp/nowhere", "/tmp/nowhere : DIR NON ESISTENTE", ""},
  };
  for (const Case& c : cases) {
    testing::FakeEnv env;
    for (const std::string& dir : c.existing) env.AddDirectory(dir);
    std::string error;
    const auto d =
        ResolveDataDirectory(env, {"/opt/dovevid/bin", c.explicit_dir, c.common, c.custom}, &error);
    EXPECT_EQ(d ? d->data_dir : error, c.data_dir) << c.custom << c.explicit_dir.value_or("");
    if (d && !c.before_override.empty()) {
      EXPECT_EQ(d->data_dir_before_override, c.before_override) << c.data_dir;
    }
    EXPECT_EQ(d ? d->app_dir : "/opt/dovevid/bin", "/opt/dovevid/bin");
  }
}

TEST(ApplicationDirectory, BesideTheProgramOnlyWhenItIsNotInstalled) {
  // Program directory, XDG_STATE_HOME, HOME, writable, system-wide; the choice.
  const std::tuple<const char*, const char*, const char*, bool, bool, AppDirChoice> cases[] = {
      {"/src/build/app", "", "/root", true, true, {"/src/build/app", false}},
      {"/usr/bin", "", "/root", true, true, {"/var/lib/QNBKORV1", false}},
      {"/usr/bin", "", "", false, false, {"/var/lib/QNBKORV1", false}},
      {"/opt/pos", "/home/anna/st/", "/home/anna", false, false, {"/home/anna/st/dovevid", true}},
      {"/usr/bin", "rel", "/home/anna", false, false, {"/home/anna/.local/state/dovevid", true}},
  };
  for (const auto& [exe_dir, xdg, home, writable, system, want] : cases) {
    AppDirInputs in{exe_dir, writable, "/usr/bin", system, xdg, home, "/var/lib"};
    const AppDirChoice got = ChooseApplicationDirectory(in);
    EXPECT_EQ(got.dir, want.dir) << exe_dir << " " << xdg;
    EXPECT_EQ(got.create, want.create) << exe_dir << " " << xdg;
  }
}

}  // namespace
}  // namespace dovevid::config
