#include "config/data_dir.h"

#include <gtest/gtest.h>

#include "fake_env.h"

namespace dovevid::config {
namespace {

class DataDirTest : public ::testing::Test {
 protected:
  DataDirTest() {
    in_.app_dir = "/opt/dovevid/bin";
    in_.common_app_data = "/var/lib";
  }
  std::optional<Directories> Resolve() { return ResolveDataDirectory(env_, in_, &error_); }

  testing::FakeEnv env_;
  DataDirInputs in_;
  std::string error_;
};

TEST_F(DataDirTest, ProductFolderOrApplicationDirectoryOrFatalMessage) {
  EXPECT_FALSE(Resolve());
  EXPECT_EQ(error_, "/var/lib/QNBKORV1 : DIR NON ESISTENTE");

  env_.AddDirectory("/var/lib/QNBKORV1");
  auto d = Resolve();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->data_dir, "/var/lib/QNBKORV1");
  EXPECT_EQ(d->app_dir, "/opt/dovevid/bin");

  in_.common_app_data.clear();
  EXPECT_EQ(Resolve()->data_dir, "/opt/dovevid/bin");
}

TEST_F(DataDirTest, OverrideLosesOneTrailingSlashAndMustExist) {
  env_.AddDirectory("/srv/pos");
  in_.custom_path = "/srv/pos/";
  ASSERT_TRUE(Resolve()) << error_;  // the product folder is not needed
  EXPECT_EQ(Resolve()->data_dir, "/srv/pos");

  env_.AddDirectory("/var/lib/QNBKORV1");
  auto d = Resolve();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->data_dir, "/srv/pos");
  EXPECT_EQ(d->data_dir_before_override, "/var/lib/QNBKORV1");

  in_.custom_path = "/srv/missing";
  EXPECT_EQ(Resolve()->data_dir, "/var/lib/QNBKORV1");
}

TEST_F(DataDirTest, ExplicitDirectoryReplacesEverything) {
  env_.AddDirectory("/tmp/demo");
  in_.custom_path = "/srv/pos";
  in_.explicit_data_dir = "/tmp/demo/";
  auto d = Resolve();
  ASSERT_TRUE(d);  // the product folder under /var/lib is not needed
  EXPECT_EQ(d->data_dir, "/tmp/demo");
  in_.explicit_data_dir = "/tmp/nowhere";
  EXPECT_FALSE(Resolve());
  EXPECT_EQ(error_, "/tmp/nowhere : DIR NON ESISTENTE");
}

TEST(ApplicationDirectory, BesideTheProgramOnlyWhenItIsNotInstalled) {
  struct Case {
    const char* exe_dir;
    bool writable;
    bool system;
    const char* xdg;
    const char* home;
    AppDirChoice want;
  };
  const Case cases[] = {
      {"/src/build/app", true, true, "", "/root", {"/src/build/app", false}},
      {"/usr/bin", true, true, "", "/root", {"/var/lib/QNBKORV1", false}},
      {"/usr/bin", false, false, "", "", {"/var/lib/QNBKORV1", false}},
      {"/opt/pos", false, false, "/home/anna/st/", "/home/anna", {"/home/anna/st/dovevid", true}},
      {"/usr/bin", false, false, "rel", "/home/anna", {"/home/anna/.local/state/dovevid", true}},
  };
  for (const Case& c : cases) {
    AppDirInputs in{c.exe_dir, c.writable, "/usr/bin", c.system, c.xdg, c.home, "/var/lib"};
    const AppDirChoice got = ChooseApplicationDirectory(in);
    EXPECT_EQ(got.dir, c.want.dir) << c.exe_dir << " " << c.xdg;
    EXPECT_EQ(got.create, c.want.create) << c.exe_dir << " " << c.xdg;
  }
}

}  // namespace
}  // namespace dovevid::config
