#include "host/host_link.h"

#include <gtest/gtest.h>

namespace nml::support {
namespace {

TEST(HostLink, CreatesAnApplicationOnFirstUseUnlessOneIsAttached) {
  HostLink link;
  auto first = link.Application();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(link.Application(), first);
  EXPECT_NO_THROW(first->Workbooks()->Item("nml2007.xlam"));

  auto mine = host::Application::CreateBare();
  link.Attach(mine);
  EXPECT_EQ(link.Application(), mine);
  link.Detach();
  auto fresh = link.Application();
  EXPECT_NE(fresh, mine);
  EXPECT_NE(fresh, first);
}

TEST(HostLink, TheGlobalLinkIsOneObject) {
  EXPECT_EQ(&TheHostLink(), &TheHostLink());
  auto app = host::Application::Create();
  TheHostLink().Attach(app);
  EXPECT_EQ(TheHostLink().Application(), app);
  TheHostLink().Detach();
}

}  // namespace
}  // namespace nml::support
